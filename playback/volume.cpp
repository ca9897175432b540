#include "volume.h"

#include "layout/twips.h"

#include <QMouseEvent>

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
    left_ = d;
    move(layout::toPixels(left_), layout::toPixels(kKnobTop));
    emit volumeSet(volumeForPosition(static_cast<int>(d)));
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
