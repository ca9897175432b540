#include "window/answer_box.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace window {

int keyAsciiOf(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    default:
        break;
    }
    if (event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return 0;
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
        keyPressHandler(index_, keyAscii);
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
    QLineEdit::focusInEvent(event);
    if (gotFocusHandler && !momentary(*event))
        gotFocusHandler(index_);
}

void AnswerBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (lostFocusHandler && !momentary(*event))
        lostFocusHandler(index_);
}

} // namespace window
