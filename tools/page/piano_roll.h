#pragma once
// A clip's notes drawn for the eye: time across, pitch up, one colour per voice.
#include "score.h"

#include <QColor>
#include <QImage>
#include <QSize>

namespace page {

inline constexpr QSize kRollSize{900, 160};

// The colour voice `index` of a score is drawn in.
QColor voiceColour(int index);

// The notes over the clip's `clipSeconds`, repeating from the top where the music is shorter,
// as the clip plays them. Drum voices, whose keys are no pitches, are marks along the foot.
QImage pianoRoll(const store::Score& score, double clipSeconds, QSize size = kRollSize);

} // namespace page
