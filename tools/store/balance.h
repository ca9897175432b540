#pragma once
// How far the tune stands above everything else, over the first seconds a listener hears.
#include "render.h"
#include "score.h"

#include <string>

namespace store {

// The span measured: where the tune plays within the clip's first seconds.
inline constexpr double kBalanceSeconds = 8.0;
// What the tune must lead the rest by, in LU.
inline constexpr double kTuneLead = 2.0;

struct TuneBalance {
    std::string exempt; // why the tune need not lead; empty when it must
    double from = 0;    // seconds
    double to = 0;
    double tune = 0; // LUFS of the tune's voices alone over the span
    double rest = 0; // LUFS of the other voices alone; -inf when they are silent there
    double lead() const { return tune - rest; }
    bool leads() const { return !exempt.empty() || lead() >= kTuneLead; }
};

// Renders the tune's voices and the others apart and measures both (EBU R128 integrated, so
// K-weighted and gated) over the span; throws std::runtime_error when the tune is silent there.
TuneBalance tuneBalance(Orchestra& orchestra, const Score& score);

// "+3.4 LU (0.0-8.0 s)", or "exempt: <why>" after it; for reports.
std::string describe(const TuneBalance& balance);

} // namespace store
