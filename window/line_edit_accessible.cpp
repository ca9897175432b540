#include "window/line_edit_accessible.h"

#include <QFontMetrics>
#include <QLineEdit>

namespace window::accessibility {

LineEditAccessible::LineEditAccessible(QLineEdit* edit)
    : QAccessibleWidget(edit, QAccessible::EditableText) {}

QLineEdit* LineEditAccessible::edit() const {
    return static_cast<QLineEdit*>(widget());
}

void* LineEditAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (t == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString LineEditAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value)
        return edit()->text();
    return QAccessibleWidget::text(t);
}

void LineEditAccessible::setText(QAccessible::Text t, const QString& text) {
    if (t == QAccessible::Value)
        edit()->setText(text);
    else
        QAccessibleWidget::setText(t, text);
}

QAccessible::State LineEditAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !edit()->isReadOnly();
    s.readOnly = edit()->isReadOnly();
    s.selectableText = true;
    return s;
}

void LineEditAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !edit()->hasSelectedText())
        return;
    *startOffset = edit()->selectionStart();
    *endOffset = int(*startOffset + edit()->selectedText().size());
}

int LineEditAccessible::selectionCount() const {
    return edit()->hasSelectedText() ? 1 : 0;
}

void LineEditAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void LineEditAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        edit()->deselect();
}

void LineEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0)
        edit()->setSelection(startOffset, endOffset - startOffset);
}

int LineEditAccessible::cursorPosition() const {
    return edit()->cursorPosition();
}

void LineEditAccessible::setCursorPosition(int position) {
    edit()->setCursorPosition(position);
}

QString LineEditAccessible::text(int startOffset, int endOffset) const {
    if (startOffset > endOffset)
        return {};
    return edit()->text().mid(startOffset, endOffset - startOffset);
}

QString LineEditAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType type,
                                             int* startOffset, int* endOffset) const {
    return QAccessibleTextInterface::textBeforeOffset(offset == -2 ? cursorPosition() : offset,
                                                      type, startOffset, endOffset);
}

QString LineEditAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType type,
                                            int* startOffset, int* endOffset) const {
    return QAccessibleTextInterface::textAfterOffset(offset == -2 ? cursorPosition() : offset, type,
                                                     startOffset, endOffset);
}

QString LineEditAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType type,
                                         int* startOffset, int* endOffset) const {
    return QAccessibleTextInterface::textAtOffset(offset == -2 ? cursorPosition() : offset, type,
                                                  startOffset, endOffset);
}

int LineEditAccessible::characterCount() const {
    return int(edit()->text().size());
}

// Where the text is drawn is the line edit's own affair; its left edge plus the width of
// what comes before is close enough to point at a character.
QRect LineEditAccessible::characterRect(int offset) const {
    const QString t = edit()->text();
    if (offset < 0 || offset >= t.size())
        return {};
    const QFontMetrics fm(edit()->font());
    const QRect inner = edit()->contentsRect();
    const int x = inner.left() + 2 + fm.horizontalAdvance(t.left(offset));
    const QRect r(x, inner.top() + (inner.height() - fm.height()) / 2,
                  fm.horizontalAdvance(t.mid(offset, 1)), fm.height());
    return QRect(edit()->mapToGlobal(r.topLeft()), r.size());
}

int LineEditAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint p = edit()->mapFromGlobal(point);
    return edit()->rect().contains(p) ? edit()->cursorPositionAt(p) : -1;
}

void LineEditAccessible::scrollToSubstring(int startIndex, int endIndex) {
    edit()->setCursorPosition(endIndex);
    edit()->setCursorPosition(startIndex);
}

QString LineEditAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = characterCount();
    if (offset < 0 || offset > *endOffset)
        *startOffset = *endOffset = offset;
    return {};
}

void LineEditAccessible::deleteText(int startOffset, int endOffset) {
    edit()->setText(edit()->text().remove(startOffset, endOffset - startOffset));
}

void LineEditAccessible::insertText(int offset, const QString& text) {
    edit()->setText(edit()->text().insert(offset, text));
}

void LineEditAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    edit()->setText(edit()->text().replace(startOffset, endOffset - startOffset, text));
}

} // namespace window::accessibility
