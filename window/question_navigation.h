#pragma once
// Keys for a screen-reader user: from answer box to answer box, to the first and the last,
// to question n, the excerpt played and stopped from the answer box, a spoken help, and a
// word after Enter in an answer box when the check has nothing new to say. Each key works only
// while an assistive technology is active; without one, the window sees every key as before.
#include <QString>

namespace window {
class FrmDorlo;

namespace accessibility {

// What F1 says.
QString helpText();

// The keys in one sentence, for the start-up hint.
QString navigationHint();

// Installs the keys for the window; once, after its controls are named.
void installQuestionNavigation(FrmDorlo& form);

} // namespace accessibility
} // namespace window
