#pragma once
// Whether an assistive technology (a screen reader) is active. With none, the window is the
// game exactly as designed. What blind players need besides (Tab stops on the knob and the
// site link, a tooltip that names the score key, the switch keeping the focus when pressed
// from the keyboard, the selection made after the focus is reported, spoken messages) is on
// only while one is active, and follows it when it starts or stops during the game. Every
// such difference asks here.
#include <QObject>

namespace window {

class AssistiveTechnology : public QObject {
    Q_OBJECT
public:
    // The application's one watcher, made on first use (the application must exist).
    static AssistiveTechnology& watcher();
    static bool active();

signals:
    void activeChanged(bool active);

private:
    class Observer;
    explicit AssistiveTechnology(QObject* parent);
    ~AssistiveTechnology() override;
    Observer* observer_;
    bool active_;
};

} // namespace window
