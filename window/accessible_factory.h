#pragma once
// How the window's widgets appear to assistive technologies where their own classes would
// mislead: containers as groupings rather than top-level frames, decoration left out,
// a label that acts as a link, the hidden announcement label, the switch and the knob.
// Nothing here runs until an assistive technology asks about a widget.
#include <QAccessible>

class QWidget;

namespace window::accessibility {

// The role the widget is exposed with, in place of its class's.
void exposeAs(QWidget* w, QAccessible::Role role);

// Left out of the tree: its parent does not list it.
void conceal(QWidget* w);

// The label that names a container (a label's own buddy relation reaches only siblings).
void labelBy(QWidget* container, QWidget* label);

// A button's pressed state, shown to assistive technologies only (the clip it plays).
void setPressed(QWidget* button, bool pressed);

// Installs the factory that applies what the four functions above set; once per process.
void installFactory();

} // namespace window::accessibility
