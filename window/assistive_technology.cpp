#include "window/assistive_technology.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QPointer>

namespace window {

// Told by Qt whenever its accessibility bridge is switched on or off.
class AssistiveTechnology::Observer : public QAccessible::ActivationObserver {
public:
    explicit Observer(AssistiveTechnology& owner) : owner_(owner) {}
    void accessibilityActiveChanged(bool active) override {
        if (active == owner_.active_)
            return;
        owner_.active_ = active;
        emit owner_.activeChanged(active);
    }

private:
    AssistiveTechnology& owner_;
};

AssistiveTechnology::AssistiveTechnology(QObject* parent)
    : QObject(parent), observer_(new Observer(*this)), active_(QAccessible::isActive()) {
    QAccessible::installActivationObserver(observer_);
}

// With the application, before Qt's own list of observers goes.
AssistiveTechnology::~AssistiveTechnology() {
    QAccessible::removeActivationObserver(observer_);
    delete observer_;
}

AssistiveTechnology& AssistiveTechnology::watcher() {
    static QPointer<AssistiveTechnology> one;
    if (!one)
        one = new AssistiveTechnology(QCoreApplication::instance());
    return *one;
}

bool AssistiveTechnology::active() {
    return watcher().active_;
}

} // namespace window
