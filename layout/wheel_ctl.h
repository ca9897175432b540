#pragma once
// The mouse-wheel control: reports each wheel notification of one window once, wherever the
// cursor is, through WheelRotate. It filters the whole application's events, so it sees every
// wheel event before the control under the cursor can take it.
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class QWheelEvent;

namespace layout {

class WheelCtl : public QWidget {
    Q_OBJECT
public:
    // Invisible, 135 x 135 twips at its parent's top-left corner.
    explicit WheelCtl(QWidget* parent = nullptr);
    ~WheelCtl() override;

    // Raises WheelRotate once with the same four references.
    void WheelMoved(int& Delta, int& Shift, int& x, int& y);
    // From now on every wheel event aimed at `window` or one of its descendants calls
    // WheelMoved once, before its normal delivery, which goes on unchanged.
    void hook(QWidget* window);
    // Removes the hook; harmless when there is none.
    void unHook();

signals:
    // Delta: signed turn, positive away from the user. Shift: 0. x, y: global cursor pixels.
    void WheelRotate(int& Delta, int& Shift, int& x, int& y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isPropagation(const QWidget* receiver, const QWheelEvent* e) const;

    QPointer<QWidget> window_;
    // The last delivery seen, to recognise the same notification passed on to a parent.
    const QEvent* lastEvent_ = nullptr;
    QPointer<const QWidget> lastReceiver_;
    QPointF lastPosition_;
    QPointF lastGlobal_;
    QPoint lastAngle_;
    quint64 lastTimestamp_ = 0;
};

} // namespace layout
