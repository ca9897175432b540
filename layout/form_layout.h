#pragma once
// The window's resize handler: measures the window, computes the layout and applies it.
#include "layout/form_controls.h"
#include "layout/geometry.h"

#include <optional>

namespace layout {

// What computeLayout needs, read from the widgets (pixels * 15).
LayoutInput measure(const FormControls& c);

// Moves and sizes every control the layout sets, in one place, bars last: a maximum below
// the current value clamps it, and the bar's valueChanged then re-places ZoneP2.
void applyLayout(const FormControls& c, const LayoutResult& r);

// No-op while the window is minimised.
void Form_Resize(const FormControls& c);

// The exact twips sizes the last Form_Resize gave these controls, for scrolling.
std::optional<LayoutResult> lastLayout(const FormControls& c);

} // namespace layout
