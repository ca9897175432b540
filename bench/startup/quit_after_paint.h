#pragma once
// Ends the event loop once a window has been drawn for the first time, so that a start-up
// can be timed to "shown" without any driver watching from outside.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace bench {

class QuitAfterFirstPaint : public QObject {
public:
    explicit QuitAfterFirstPaint(QWidget* window) : QObject(window) {
        window->installEventFilter(this);
    }

protected:
    // The window is painted before its children in the same pass; the quit is posted, so
    // it runs once the whole pass is on screen.
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !posted_) {
            posted_ = true;
            QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool posted_ = false;
};

} // namespace bench
