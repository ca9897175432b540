#pragma once
// Constant-bitrate mono MP3 at 24 kHz and 24 kbit/s: every frame is 576 samples in 72 bytes.
#include <cstdint>
#include <vector>

namespace store {

inline constexpr int kFrameBytes = 72;
inline constexpr int kFrameSamples = 576;
inline constexpr int kTagHeader = 10;

// Frames that fit in a clip of `bytes` bytes once the smallest ID3v2 tag is in place.
int framesFor(std::int64_t bytes);

// Samples at the end of the input the encoder's delay pushes past the last kept frame.
inline constexpr int kEncoderTail = 1200;

// Encodes `pcm` and keeps exactly `frames` frames; throws when the encoder gives fewer or a frame
// of another shape.
std::vector<std::uint8_t> encodeFrames(const std::vector<float>& pcm, int frames);

// An ID3v2.3 tag of exactly `bytes` bytes (at least 10) holding only padding.
std::vector<std::uint8_t> paddingTag(int bytes);

} // namespace store
