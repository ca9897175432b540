#pragma once
// What assistive technologies are told about the window, in French, and the keyboard's
// way to the header controls.
#include <QString>

namespace window {
class FrmDorlo;

namespace accessibility {

// Names and describes every visible control of the window and puts the header's switch
// and site link after the thirty panels in the keyboard order. Runs once, after start-up.
void nameControls(FrmDorlo& form);

// Follows a check: the outcome on the question's result label, the count and the code.
void describeCheck(FrmDorlo& form, int question);

// What a result label's caption means when read aloud ("?" is no answer yet).
QString outcomeText(const QString& caption);

} // namespace accessibility
} // namespace window
