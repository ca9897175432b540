#include "sound_switch.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

#include <utility>

namespace playback {

SoundSwitch::SoundSwitch(const QPixmap& picture, const QPixmap& downPicture, QWidget* parent)
    : QAbstractButton(parent), picture_(picture), downPicture_(downPicture) {}

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
    if (!shown.isNull())
        p.drawPixmap(rect(), shown);
    if (hasFocus()) { // reached by Tab: the keyboard's place must show
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

} // namespace playback
