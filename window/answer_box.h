#pragma once
// The answer box Txt(n): a line edit that remembers its last accepted text (Tag) and hands
// its key presses and focus changes to the window before reacting to them.
#include <QLineEdit>

#include <functional>
#include <optional>

class QKeyEvent;

namespace window {

// The character code a key press produces, as the key-press handler sees it: printable
// text, Backspace (8), Enter (13), Escape (27), and Ctrl+V, Ctrl+X, Ctrl+Z (22, 24, 26).
// Navigation keys and other shortcuts give 0: they never reach the handler.
int keyAsciiOf(const QKeyEvent& event);

class AnswerBox : public QLineEdit {
    Q_OBJECT
public:
    AnswerBox(int index, QWidget* parent = nullptr);

    int index() const { return index_; }
    QString Tag; // the remembered text

    // Index and KeyAscii by reference; a KeyAscii set to 0 discards the key.
    std::function<void(int, int&)> keyPressHandler;
    std::function<void(int)> gotFocusHandler;
    std::function<void(int)> lostFocusHandler;

    // While the key-press handler runs: when that key was pressed, by the window system's
    // clock, where known.
    std::optional<qint64> pressedAt() const { return pressedAt_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int index_;
    std::optional<qint64> pressedAt_;
};

} // namespace window
