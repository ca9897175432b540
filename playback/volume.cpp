#include "volume.h"

#include "layout/twips.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include <algorithm>

#include <cmath>

namespace playback {

namespace {

constexpr double kKnobTop = 45;
constexpr double kKnobWidth = 150;
constexpr double kKnobHeight = 315;

int buttonCode(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
           (b & Qt::MiddleButton ? 4 : 0);
}

int shiftCode(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

} // namespace

int volumeForPosition(int d) {
    const double v = d - 374;
    // Nearest integer, halves to even (the default rounding mode).
    return static_cast<int>(std::nearbyint(std::log(v / 15) * 1857 / std::log(10.0) - 3000));
}

VolumeKnob::VolumeKnob(QWidget* parent) : QLabel(parent) {
    layout::placeTwips(this, left_, kKnobTop, kKnobWidth, kKnobHeight);
}

void VolumeKnob::Volume_MouseDown(int, int, double x, double) {
    tag_ = x;
}

void VolumeKnob::Volume_MouseMove(int button, int, double x, double) {
    if (button != 1)
        return;
    // Rounded before the range test, so no 16-bit overflow can arise from a wild value.
    const double d = std::nearbyint(left_ + x - tag_);
    if (d < kKnobMin || d > kKnobMax)
        return;
    moveTo(static_cast<int>(d));
}

void VolumeKnob::moveTo(int d) {
    left_ = d;
    move(layout::toPixels(left_), layout::toPixels(kKnobTop));
    applyVolume();
}

void VolumeKnob::applyVolume() {
    emit volumeSet(volumeForPosition(static_cast<int>(left_)));
}

int VolumeKnob::level() const {
    return static_cast<int>(std::lround(100 * (left_ - kKnobMin) / (kKnobMax - kKnobMin)));
}

void VolumeKnob::setLevel(int percent) {
    const int p = std::clamp(percent, 0, 100);
    moveTo(kKnobMin + static_cast<int>(std::lround(p * (kKnobMax - kKnobMin) / 100.0)));
}

void VolumeKnob::keyPressEvent(QKeyEvent* e) {
    int d = static_cast<int>(left_);
    switch (e->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        d += kKeyStep;
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        d -= kKeyStep;
        break;
    case Qt::Key_PageUp:
        d += kPageStep;
        break;
    case Qt::Key_PageDown:
        d -= kPageStep;
        break;
    case Qt::Key_Home:
        d = kKnobMin;
        break;
    case Qt::Key_End:
        d = kKnobMax;
        break;
    default:
        QLabel::keyPressEvent(e);
        return;
    }
    e->accept();
    moveTo(std::clamp(d, kKnobMin, kKnobMax));
}

void VolumeKnob::paintEvent(QPaintEvent* e) {
    QLabel::paintEvent(e);
    if (!hasFocus())
        return;
    QPainter p(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
}

void VolumeKnob::mousePressEvent(QMouseEvent* e) {
    const QPointF p = e->position() * layout::kTwipsPerPixel;
    Volume_MouseDown(buttonCode(e->button()), shiftCode(e->modifiers()), p.x(), p.y());
}

void VolumeKnob::mouseMoveEvent(QMouseEvent* e) {
    const QPointF p = e->position() * layout::kTwipsPerPixel;
    Volume_MouseMove(buttonCode(e->buttons()), shiftCode(e->modifiers()), p.x(), p.y());
}

} // namespace playback
