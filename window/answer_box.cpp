#include "window/answer_box.h"

#include "window/assistive_technology.h"
#include "window/key_press_times.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace window {

int keyAsciiOf(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    default:
        break;
    }
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (mods & (Qt::ControlModifier | Qt::MetaModifier)) {
        // Paste, cut and undo type their control characters, so that the key-rate filter
        // drops them like any other key that comes too soon.
        if (mods & (Qt::MetaModifier | Qt::AltModifier))
            return 0;
        switch (event.key()) {
        case Qt::Key_V:
            return 22;
        case Qt::Key_X:
            return 24;
        case Qt::Key_Z:
            return 26;
        default:
            return 0;
        }
    }
    const QString text = event.text();
    if (text.isEmpty())
        return 0;
    const QChar c = text.front();
    if (c.unicode() < 32 || c.unicode() == 127 || !c.isPrint())
        return 0;
    return c.unicode();
}

AnswerBox::AnswerBox(int index, QWidget* parent) : QLineEdit(parent), index_(index) {}

void AnswerBox::keyPressEvent(QKeyEvent* event) {
    int keyAscii = keyAsciiOf(*event);
    if (keyAscii != 0 && keyPressHandler) {
        pressedAt_ = KeyPressTimes::of(*event);
        keyPressHandler(index_, keyAscii);
        pressedAt_.reset();
        if (keyAscii == 0) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

namespace {
// The window being activated again, or a popup (the box's own context menu) opening and
// closing, moves the focus only for a moment: the box keeps it as far as the game goes.
bool momentary(const QFocusEvent& event) {
    return event.reason() == Qt::PopupFocusReason || event.reason() == Qt::ActiveWindowFocusReason;
}
} // namespace

void AnswerBox::focusInEvent(QFocusEvent* event) {
    // A click places the caret, and a drag selects, from where the button went down: a
    // selection made after that would undo them.
    if (momentary(*event) || !AssistiveTechnology::active() ||
        event->reason() == Qt::MouseFocusReason) {
        QLineEdit::focusInEvent(event);
        if (gotFocusHandler && !momentary(*event))
            gotFocusHandler(index_);
        return;
    }
    // The focus is reported to assistive technologies after this handler; a selection made
    // here would be reported first, and a screen reader then takes the focus silently. So
    // the line edit does not select on its own, and the selection follows the report.
    QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason);
    QLineEdit::focusInEvent(&plain);
    QTimer::singleShot(0, this, [this] {
        if (gotFocusHandler)
            gotFocusHandler(index_);
    });
}

void AnswerBox::focusOutEvent(QFocusEvent* event) {
    if (!momentary(*event) && AssistiveTechnology::active()) {
        // Deselecting on the way out is heard as "text deselected", before or after the next
        // control's name, whenever it is done: the selection stays, and the next visit
        // selects the whole text again anyway.
        QFocusEvent keep(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QLineEdit::focusOutEvent(&keep);
    } else {
        QLineEdit::focusOutEvent(event);
    }
    if (lostFocusHandler && !momentary(*event))
        lostFocusHandler(index_);
}

} // namespace window
