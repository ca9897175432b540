#pragma once
// A small additive synthesiser: each instrument is a handful of partials with their own decay,
// under an attack / decay / release envelope, with optional vibrato.
#include "score.h"

#include <vector>

namespace store {

inline constexpr int kSampleRate = 24000;

// Renders the score into exactly `samples` samples: the piece starts again from the top while
// time remains, and the last `fadeSeconds` fade to silence, which is reached `tailSamples` before
// the end. The result is loudness-matched: a fixed RMS, peaks softly limited below full scale.
std::vector<float> render(const Score& score, int samples, double fadeSeconds, int tailSamples);

} // namespace store
