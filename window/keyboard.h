#pragma once
// The window's keyboard: the Tab order, Space, Return and Enter pressing the focused button
// or link, and the stops that only a screen reader's user needs.
namespace window {
class FrmDorlo;

namespace keyboard {

// Sets the Tab order and the key handling, and puts the focus on the first play button.
// Runs once, while the window is built.
void setUp(FrmDorlo& form);

} // namespace keyboard
} // namespace window
