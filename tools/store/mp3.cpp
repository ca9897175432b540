#include "mp3.h"

#include "render.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace store {

int framesFor(std::int64_t bytes) {
    return static_cast<int>((bytes - kTagHeader) / kFrameBytes);
}

std::vector<std::uint8_t> encodeFrames(const std::vector<float>& pcm, int frames) {
    std::unique_ptr<lame_global_flags, decltype(&lame_close)> gf(lame_init(), &lame_close);
    if (!gf)
        throw std::runtime_error("lame_init failed");
    lame_set_num_channels(gf.get(), 1);
    lame_set_in_samplerate(gf.get(), kSampleRate);
    lame_set_out_samplerate(gf.get(), kSampleRate);
    lame_set_mode(gf.get(), MONO);
    lame_set_VBR(gf.get(), vbr_off);
    lame_set_brate(gf.get(), 24);
    lame_set_quality(gf.get(), 5);
    lame_set_bWriteVbrTag(gf.get(), 0);
    lame_set_write_id3tag_automatic(gf.get(), 0);
    if (lame_init_params(gf.get()) < 0)
        throw std::runtime_error("lame_init_params failed");

    std::vector<short> samples(pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i)
        samples[i] = static_cast<short>(std::lround(std::clamp(pcm[i], -1.0f, 1.0f) * 32767.0f));
    std::vector<std::uint8_t> out(samples.size() * 5 / 4 + 7200 + 4 * kFrameBytes);
    const int n = lame_encode_buffer(gf.get(), samples.data(), samples.data(),
                                     static_cast<int>(samples.size()), out.data(),
                                     static_cast<int>(out.size()));
    if (n < 0)
        throw std::runtime_error("lame_encode_buffer failed");
    const int m = lame_encode_flush(gf.get(), out.data() + n, static_cast<int>(out.size()) - n);
    if (m < 0)
        throw std::runtime_error("lame_encode_flush failed");
    out.resize(static_cast<std::size_t>(n + m));

    if (out.size() % kFrameBytes != 0 ||
        out.size() / kFrameBytes < static_cast<std::size_t>(frames))
        throw std::runtime_error("encoder gave " + std::to_string(out.size()) + " bytes, need " +
                                 std::to_string(frames) + " frames of 72");
    out.resize(static_cast<std::size_t>(frames) * kFrameBytes);
    // MPEG-2 layer III, no CRC, 24 kbit/s, 24 kHz, no padding, mono.
    for (std::size_t at = 0; at < out.size(); at += kFrameBytes)
        if (out[at] != 0xFF || out[at + 1] != 0xF3 || (out[at + 2] & 0xFE) != 0x34 ||
            (out[at + 3] & 0xC0) != 0xC0)
            throw std::runtime_error("unexpected frame header at byte " + std::to_string(at));
    return out;
}

std::vector<std::uint8_t> paddingTag(int bytes) {
    if (bytes < kTagHeader)
        throw std::runtime_error("tag too small");
    std::vector<std::uint8_t> tag(static_cast<std::size_t>(bytes), 0);
    const int body = bytes - kTagHeader;
    tag[0] = 'I';
    tag[1] = 'D';
    tag[2] = '3';
    tag[3] = 3; // version 2.3.0, no flags
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = static_cast<std::uint8_t>((body >> (7 * (3 - i))) & 0x7F);
    return tag;
}

} // namespace store
