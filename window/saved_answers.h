#pragma once
// The saved-answers file: 30 lines of a 3-character prefix and an answer, in the 8-bit
// code page, CR LF line ends. Byte 160 opening a line marks a game not eligible.
#include "engine/records.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace window {

constexpr int kAnswers = engine::kQuestions; // one line per question
constexpr char kMarker = '\xA0';

// Reading stops here; 30 answers of the answer box's longest text fit well within it.
constexpr qsizetype kMaxFileBytes = 1 << 20;
// A line is kept up to the answer box's own limit.
constexpr qsizetype kMaxAnswerLength = 32767;

struct SavedAnswers {
    std::array<QString, kAnswers + 1> answers{}; // 1..30, element 0 unused
    bool invalide = false;
};

// The k-th line (1..30) is question k's answer from its 4th character; lines end at
// CR LF, CR or LF; later lines are ignored; a line opening with byte 160 sets invalide.
SavedAnswers parseSavedAnswers(QByteArrayView bytes);

// Exactly 30 lines, each ending with CR LF. texts is indexed 1..30. A line break inside an
// answer would shift every later answer on reading, so it is written as a space.
QByteArray formatSavedAnswers(const std::array<QString, kAnswers + 1>& texts, bool invalide);

} // namespace window
