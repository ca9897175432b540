#pragma once
// Loudness as a listener meets it: measured (EBU R128) on the MP3 as a decoder plays it back.
#include <cstdint>
#include <vector>

namespace store {

inline constexpr double kTargetLufs = -16.0;
inline constexpr double kMaxTruePeak = -1.0;       // dBTP
inline constexpr double kLoudnessTolerance = 0.15; // LU, what the rounds aim for
inline constexpr double kPromisedSpread = 0.5;     // LU, what every clip keeps

struct Loudness {
    double integrated = 0; // LUFS
    double truePeak = 0;   // dBTP
};

// Decodes 24 kHz mono MP3 frames to samples in [-1, 1]; throws std::runtime_error on a decoding
// error.
std::vector<float> decodeMp3(const std::vector<std::uint8_t>& frames);

Loudness measure(const std::vector<float>& pcm, int sampleRate);

// Lowers the level wherever a sample would pass `ceiling` (linear), looking ahead so the gain
// moves smoothly, and lets it recover over about 80 ms.
std::vector<float> limit(const std::vector<float>& pcm, double ceiling);

struct Encoded {
    std::vector<std::uint8_t> frames;
    Loudness loudness;    // as decoded
    double limitedDb = 0; // the deepest cut of the limiter
};

// Encodes `pcm` as `frames` MP3 frames whose decoded loudness lies within kLoudnessTolerance (at
// worst kPromisedSpread) of kTargetLufs and whose true peak stays under kMaxTruePeak, through a
// few encode-measure rounds; throws std::runtime_error when no round gets there.
Encoded encodeAtLoudness(const std::vector<float>& pcm, int frames);

} // namespace store
