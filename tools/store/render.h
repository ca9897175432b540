#pragma once
// Plays a note source on the sampled instruments of a General MIDI SoundFont.
#include "score.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace store {

inline constexpr int kSampleRate = 24000;

// A set of a score's voices, bit i for voice i (a score has at most 16).
using VoiceSet = std::uint32_t;
inline constexpr VoiceSet kAllVoices = ~VoiceSet{0};

class Orchestra {
public:
    // Loads the SoundFont once; throws std::runtime_error when it cannot.
    explicit Orchestra(const std::string& soundFont);
    ~Orchestra();
    Orchestra(const Orchestra&) = delete;
    Orchestra& operator=(const Orchestra&) = delete;

    // Renders exactly `samples` mono samples at kSampleRate, at the SoundFont's own level: the
    // piece starts again from the top while time remains, and the last `fadeSeconds` fade to
    // silence, reached `tailSamples` before the end. Only the voices in `voices` sound. The
    // result depends on nothing but the arguments.
    std::vector<float> render(const Score& score, int samples, double fadeSeconds, int tailSamples,
                              VoiceSet voices = kAllVoices);

private:
    struct Synth;
    std::unique_ptr<Synth> synth_;
};

} // namespace store
