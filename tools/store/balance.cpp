#include "balance.h"

#include "loudness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace store {

namespace {

double loudness(const std::vector<float>& pcm, long from) {
    const std::vector<float> span(pcm.begin() + std::min<long>(from, pcm.size()), pcm.end());
    return measure(span, kSampleRate).integrated;
}

} // namespace

TuneBalance tuneBalance(Orchestra& orchestra, const Score& score) {
    TuneBalance b;
    if (score.voices.size() == 1)
        b.exempt = "single voice";
    else
        b.exempt = score.tuneExempt;

    VoiceSet tune = 0;
    b.from = kBalanceSeconds;
    for (std::size_t v : score.tune) {
        tune |= VoiceSet{1} << v;
        forEachPlayed(score, score.voices[v], kBalanceSeconds,
                      [&](const Note&, double start, double end) {
                          b.from = std::min(b.from, start);
                          b.to = std::max(b.to, std::min(end, kBalanceSeconds));
                      });
    }
    if (b.to <= b.from)
        throw std::runtime_error("the tune does not play in the first seconds");
    const VoiceSet all = (VoiceSet{1} << score.voices.size()) - 1;

    // Both halves are played as the clip plays them, from its start, then cut to the span; the
    // clip's closing fade and its overall level touch both alike and are left out.
    const int samples = static_cast<int>(std::ceil(b.to * kSampleRate));
    const long from = std::lround(b.from * kSampleRate);
    b.tune = loudness(orchestra.render(score, samples, 0, 0, tune), from);
    if (!std::isfinite(b.tune))
        throw std::runtime_error("the tune is silent where it should play");
    b.rest = (all & ~tune) == 0
                 ? -std::numeric_limits<double>::infinity()
                 : loudness(orchestra.render(score, samples, 0, 0, all & ~tune), from);
    if (!std::isfinite(b.rest))
        b.rest = -std::numeric_limits<double>::infinity();
    return b;
}

std::string describe(const TuneBalance& b) {
    char line[80];
    if (std::isfinite(b.rest))
        std::snprintf(line, sizeof line, "%+.1f LU over %.1f-%.1f s", b.lead(), b.from, b.to);
    else
        std::snprintf(line, sizeof line, "alone over %.1f-%.1f s", b.from, b.to);
    return b.exempt.empty() ? line : line + std::string(", exempt: ") + b.exempt;
}

} // namespace store
