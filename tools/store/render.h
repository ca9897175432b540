#pragma once
// Plays a note source on the sampled instruments of a General MIDI SoundFont.
#include "score.h"

#include <memory>
#include <string>
#include <vector>

namespace store {

inline constexpr int kSampleRate = 24000;

class Orchestra {
public:
    // Loads the SoundFont once; throws std::runtime_error when it cannot.
    explicit Orchestra(const std::string& soundFont);
    ~Orchestra();
    Orchestra(const Orchestra&) = delete;
    Orchestra& operator=(const Orchestra&) = delete;

    // Renders exactly `samples` mono samples at kSampleRate, at the SoundFont's own level: the
    // piece starts again from the top while time remains, and the last `fadeSeconds` fade to
    // silence, reached `tailSamples` before the end. With `soloVoice` >= 0 only that voice
    // sounds. The result depends on nothing but the arguments.
    std::vector<float> render(const Score& score, int samples, double fadeSeconds, int tailSamples,
                              int soloVoice = -1);

private:
    struct Synth;
    std::unique_ptr<Synth> synth_;
};

} // namespace store
