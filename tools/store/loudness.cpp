#include "loudness.h"

#include "mp3.h"
#include "render.h"

#include <ebur128.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace store {

std::vector<float> decodeMp3(const std::vector<std::uint8_t>& frames) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle, decltype(&mpg123_delete)> mh(mpg123_new(nullptr, &err),
                                                                &mpg123_delete);
    if (!mh)
        throw std::runtime_error("mpg123_new failed");
    mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(mh.get());
    mpg123_format(mh.get(), kSampleRate, MPG123_MONO, MPG123_ENC_FLOAT_32);
    if (mpg123_open_feed(mh.get()) != MPG123_OK ||
        mpg123_feed(mh.get(), frames.data(), frames.size()) != MPG123_OK)
        throw std::runtime_error("mpg123 cannot take the clip");
    std::vector<float> out;
    std::vector<float> buf(4096);
    for (;;) {
        size_t done = 0;
        const int ret = mpg123_read(mh.get(), buf.data(), buf.size() * sizeof(float), &done);
        out.insert(out.end(), buf.begin(), buf.begin() + done / sizeof(float));
        if (ret == MPG123_NEED_MORE || ret == MPG123_DONE)
            break;
        if (ret != MPG123_OK && ret != MPG123_NEW_FORMAT)
            throw std::runtime_error(std::string("mpg123: ") + mpg123_strerror(mh.get()));
    }
    return out;
}

Loudness measure(const std::vector<float>& pcm, int sampleRate) {
    std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> st(
        ebur128_init(1, static_cast<unsigned long>(sampleRate),
                     EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK),
        [](ebur128_state* s) { ebur128_destroy(&s); });
    if (!st || ebur128_add_frames_float(st.get(), pcm.data(), pcm.size()) != EBUR128_SUCCESS)
        throw std::runtime_error("libebur128 cannot measure the clip");
    Loudness l;
    double peak = 0;
    if (ebur128_loudness_global(st.get(), &l.integrated) != EBUR128_SUCCESS ||
        ebur128_true_peak(st.get(), 0, &peak) != EBUR128_SUCCESS)
        throw std::runtime_error("libebur128 cannot measure the clip");
    l.truePeak = 20 * std::log10(std::max(peak, 1e-9));
    return l;
}

std::vector<float> limit(const std::vector<float>& pcm, double ceiling) {
    const long n = static_cast<long>(pcm.size());
    const long window = kSampleRate / 500; // 2 ms of look-ahead and of attack
    std::vector<double> need(n);
    for (long i = 0; i < n; ++i) {
        const double a = std::fabs(pcm[i]);
        need[i] = a > ceiling ? ceiling / a : 1.0;
    }
    // The least gain over the coming window, then its average over the past window: every
    // window averaged contains the sample itself, so the gain never exceeds what it needs.
    std::vector<double> least(n);
    for (long i = 0; i < n; ++i)
        least[i] = *std::min_element(need.begin() + i, need.begin() + std::min(n, i + window));
    const double recover = 1 - std::exp(-1.0 / (0.08 * kSampleRate));
    std::vector<float> out(n);
    double sum = 0, gain = 1;
    for (long i = 0; i < n; ++i) {
        sum += least[i] - (i >= window ? least[i - window] : 1.0);
        const double smooth = (sum + window) / window; // ones stand in before the start
        gain = std::min(smooth, gain + (1 - gain) * recover);
        out[i] = static_cast<float>(pcm[i] * gain);
    }
    return out;
}

Encoded encodeAtLoudness(const std::vector<float>& pcm, int frames) {
    const Loudness raw = measure(pcm, kSampleRate);
    if (!std::isfinite(raw.integrated))
        throw std::runtime_error("the clip is silent");
    double level = std::pow(10.0, (kTargetLufs - raw.integrated) / 20);
    double ceiling = std::pow(10.0, (kMaxTruePeak - 0.5) / 20);
    // Should the rounds never settle inside the tolerance, the closest one that keeps the
    // store's promise (half a unit) still serves.
    Encoded best;
    double bestMiss = kPromisedSpread;
    for (int round = 0; round < 10; ++round) {
        std::vector<float> scaled(pcm.size());
        std::transform(pcm.begin(), pcm.end(), scaled.begin(),
                       [&](float x) { return static_cast<float>(x * level); });
        auto bytes = encodeFrames(limit(scaled, ceiling), frames);
        const Loudness got = measure(decodeMp3(bytes), kSampleRate);
        const double miss = std::fabs(got.integrated - kTargetLufs);
        if (got.truePeak < kMaxTruePeak && miss <= bestMiss) {
            float peak = 0;
            for (float x : scaled)
                peak = std::max(peak, std::fabs(x));
            best = {std::move(bytes), got, std::max(0.0, 20 * std::log10(peak / ceiling))};
            bestMiss = miss;
            if (miss <= kLoudnessTolerance)
                break;
        }
        level *= std::pow(10.0, (kTargetLufs - got.integrated) / 20);
        if (got.truePeak >= kMaxTruePeak - 0.05)
            ceiling *= std::pow(10.0, (kMaxTruePeak - 0.2 - got.truePeak) / 20);
    }
    if (best.frames.empty())
        throw std::runtime_error("cannot bring the clip to " + std::to_string(kTargetLufs) +
                                 " LUFS under a true peak of " + std::to_string(kMaxTruePeak) +
                                 " dBTP");
    return best;
}

} // namespace store
