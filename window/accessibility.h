#pragma once
// What assistive technologies are told about the window, in French, and what is spoken to
// the player.
#include <QString>
#include <Qt>

namespace window {
class FrmDorlo;

namespace accessibility {

// The key that speaks the count, the ranking code and the current question's outcome. It
// produces no character, so answer entry never sees it.
constexpr int kScoreKey = Qt::Key_F2;
QString scoreKeyName();

// Names and describes every visible control of the window and sets up what is spoken. Runs
// once, after start-up.
void nameControls(FrmDorlo& form);

// Follows a check: the outcome on the question's result label, the count and the code; the
// outcome, and the count when it changed, are spoken when the answer or its outcome differ
// from the last check of that question.
void describeCheck(FrmDorlo& form, int question);

// What a result label's caption means when read aloud ("?" is no answer yet).
QString outcomeText(const QString& caption);

// What the score key says.
QString scoreText(FrmDorlo& form);

// Speaks a message through a notification, when an assistive technology listens.
void say(FrmDorlo& form, const QString& text);

// How many messages have been spoken so far: tells whether an action said anything.
int spokenCount(FrmDorlo& form);

} // namespace accessibility
} // namespace window
