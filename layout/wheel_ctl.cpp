#include "layout/wheel_ctl.h"

#include "layout/twips.h"

#include <QApplication>
#include <QPointingDevice>
#include <QWheelEvent>

namespace layout {
namespace {

// Qt's X11 layer hands on a wheel turned while Alt is held as a horizontal turn. A mouse
// wheel's turn comes without pixel distance or scroll phase, from a device that is no
// touchpad; a touchpad's sideways swipe under Alt stays ignored.
bool isAltTurnedWheel(const QWheelEvent& e) {
    if (!(e.modifiers() & Qt::AltModifier) || e.angleDelta().y() != 0 || e.angleDelta().x() == 0 ||
        !e.pixelDelta().isNull() || e.phase() != Qt::NoScrollPhase)
        return false;
    const QPointingDevice* device = e.pointingDevice();
    return !device || device->type() != QInputDevice::DeviceType::TouchPad;
}

} // namespace

WheelCtl::WheelCtl(QWidget* parent) : QWidget(parent) {
    setGeometry(0, 0, toPixels(135), toPixels(135));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

WheelCtl::~WheelCtl() {
    unHook();
}

void WheelCtl::WheelMoved(int& Delta, int& Shift, int& x, int& y) {
    emit WheelRotate(Delta, Shift, x, y);
}

void WheelCtl::hook(QWidget* window) {
    unHook();
    window_ = window;
    lastEvent_ = nullptr;
    lastReceiver_ = nullptr;
    if (window && qApp)
        qApp->installEventFilter(this);
}

void WheelCtl::unHook() {
    if (qApp)
        qApp->removeEventFilter(this);
    window_ = nullptr;
}

// A wheel event the receiver leaves unhandled is handed to its parent as the very same
// event object, no longer spontaneous, with the position moved into the parent's
// coordinates. A new notification may reuse the same stack address and timestamp, so all of
// it has to match.
bool WheelCtl::isPropagation(const QWidget* receiver, const QWheelEvent* e) const {
    const QWidget* child = lastReceiver_.data();
    return !e->spontaneous() && e == lastEvent_ && child && child->parentWidget() == receiver &&
           e->position() == lastPosition_ + QPointF(child->pos()) &&
           e->globalPosition() == lastGlobal_ && e->angleDelta() == lastAngle_ &&
           e->timestamp() == lastTimestamp_;
}

bool WheelCtl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !window_ || !watched->isWidgetType())
        return false;
    auto* receiver = static_cast<QWidget*>(watched);
    if (receiver != window_ && !window_->isAncestorOf(receiver))
        return false;
    const auto* e = static_cast<QWheelEvent*>(event);
    const bool passedOn = isPropagation(receiver, e);
    lastEvent_ = e;
    lastReceiver_ = receiver;
    lastPosition_ = e->position();
    lastGlobal_ = e->globalPosition();
    lastAngle_ = e->angleDelta();
    lastTimestamp_ = e->timestamp();
    if (passedOn)
        return false;

    // Only a vertical turn is a wheel notification, whatever keys are held. Qt also delivers
    // events without one: a sideways tilt, a touchpad's begin and end markers, and the
    // second, empty half into which the platform layer splits a diagonal turn; none of them
    // may scroll.
    int delta = isAltTurnedWheel(*e) ? e->angleDelta().x() : e->angleDelta().y();
    if (delta == 0)
        return false;

    int shift = 0;
    const QPoint cursor = e->globalPosition().toPoint();
    int x = cursor.x();
    int y = cursor.y();
    // The handler may close the window; nothing of this object is used afterwards.
    WheelMoved(delta, shift, x, y);
    return false;
}

} // namespace layout
