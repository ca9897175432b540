#include "window/keyboard.h"

#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/volume.h"
#include "window/assistive_technology.h"
#include "window/click_label.h"
#include "window/frm_dorlo.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

namespace window::keyboard {
namespace {

// The button or link being pressed from the keyboard, while its click runs.
QObject* pressedByKey = nullptr;

void press(QObject* target) {
    pressedByKey = target;
    if (auto* button = qobject_cast<QAbstractButton*>(target))
        button->click();
    else if (auto* link = dynamic_cast<ClickLabel*>(target); link && link->clicked)
        link->clicked();
    pressedByKey = nullptr;
}

// Return and Enter press on the key going down; Space, as on any button, on its release,
// the button showing as held down meanwhile. Held keys press once.
class KeyPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut && spaceDown_ == watched) {
            if (auto* button = qobject_cast<QAbstractButton*>(watched))
                button->setDown(false); // left while Space was held: no press
            spaceDown_ = nullptr;
        }
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool space = key->key() == Qt::Key_Space;
        if ((!enter && !space) || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        if (key->isAutoRepeat())
            return true;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (event->type() == QEvent::KeyPress) {
            if (enter)
                press(watched);
            else if (button)
                button->setDown(true);
            spaceDown_ = space ? watched : nullptr;
        } else if (space && spaceDown_ == watched) {
            spaceDown_ = nullptr;
            if (button)
                button->setDown(false);
            press(watched);
        }
        return true;
    }

private:
    QPointer<QObject> spaceDown_;
};

// The knob and the site link are Tab stops only under a screen reader: otherwise the knob
// is dragged and the link clicked, and neither ever holds the focus.
void setHeaderStops(FrmDorlo& form, bool assistive) {
    for (QWidget* w : {static_cast<QWidget*>(form.Volume), static_cast<QWidget*>(form.LblSite)}) {
        w->setFocusPolicy(assistive ? Qt::TabFocus : Qt::NoFocus);
        if (!assistive && w->hasFocus())
            form.ZoneT1->setFocus(); // where a click on the switch leaves it
    }
}

} // namespace

void setUp(FrmDorlo& form) {
    // Panel by panel: play, stop, answer; then the header block that takes the focus after
    // a click on the switch, so that Tab goes on from there to the switch, the knob and the
    // site link.
    QWidget* previous = nullptr;
    for (int n = 1; n <= kQuestions; ++n)
        for (QWidget* w :
             {static_cast<QWidget*>(form.Cmd[n]), static_cast<QWidget*>(form.Cmd[n + kQuestions]),
              static_cast<QWidget*>(form.Txt[n])}) {
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        }
    for (QWidget* w : {form.ZoneT1, static_cast<QWidget*>(form.Son),
                       static_cast<QWidget*>(form.Volume), static_cast<QWidget*>(form.LblSite)}) {
        QWidget::setTabOrder(previous, w);
        previous = w;
    }
    for (QLabel* l : form.findChildren<QLabel*>())
        l->setFocusPolicy(Qt::NoFocus);
    setHeaderStops(form, AssistiveTechnology::active());
    QObject::connect(&AssistiveTechnology::watcher(), &AssistiveTechnology::activeChanged, &form,
                     [&form](bool on) { setHeaderStops(form, on); });

    auto* keys = new KeyPresses(&form);
    for (int k = 1; k <= 2 * kQuestions; ++k)
        form.Cmd[k]->installEventFilter(keys);
    form.Son->installEventFilter(keys);
    form.LblSite->installEventFilter(keys);
    // A click on the switch sends the focus to the header block; pressed from the keyboard
    // under a screen reader, the focus stays, so that the new state is heard.
    form.playback()->switchKeepsFocus = [son = form.Son] {
        return pressedByKey == son && AssistiveTechnology::active();
    };

    // The keyboard starts where its order does, not on whatever Qt would pick first (the
    // site link, which the first Enter would open).
    form.Cmd[1]->setFocus();
}

} // namespace window::keyboard
