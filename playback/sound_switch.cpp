#include "sound_switch.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

#include <utility>

namespace playback {

SoundSwitch::SoundSwitch(const QPixmap& picture, const QPixmap& downPicture, QWidget* parent)
    : QAbstractButton(parent), picture_(picture), downPicture_(downPicture) {
    setCheckable(true);
    setChecked(true);
}

void SoundSwitch::swapPictures() {
    std::swap(picture_, downPicture_);
    update();
}

QSize SoundSwitch::sizeHint() const {
    return picture_.isNull() ? QSize(16, 16) : picture_.deviceIndependentSize().toSize();
}

void SoundSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap& shown = isDown() ? downPicture_ : picture_;
    // At its own size in the middle of the button: stretched over it, a picture blurs.
    if (!shown.isNull()) {
        const QSize size = shown.deviceIndependentSize().toSize();
        p.drawPixmap(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), shown);
    }
    if (hasFocus()) { // reached by Tab: the keyboard's place must show
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

} // namespace playback
