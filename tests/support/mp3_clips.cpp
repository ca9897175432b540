#include "mp3_clips.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <cmath>
#include <vector>

namespace testing {

QByteArray encodeMono(const std::vector<short>& pcm, int rate, int kbps) {
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, rate);
    lame_set_out_samplerate(gf, rate);
    lame_set_num_channels(gf, 1);
    lame_set_mode(gf, MONO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, kbps);
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    lame_init_params(gf);
    const int n = static_cast<int>(pcm.size());
    std::vector<unsigned char> out(static_cast<size_t>(n + n / 4 + 7200));
    int size =
        lame_encode_buffer(gf, pcm.data(), pcm.data(), n, out.data(), static_cast<int>(out.size()));
    size += lame_encode_flush(gf, out.data() + size, static_cast<int>(out.size()) - size);
    lame_close(gf);
    return QByteArray(reinterpret_cast<const char*>(out.data()), size);
}

QByteArray tone(double seconds, double hertz, int rate, int kbps) {
    const int n = static_cast<int>(seconds * rate);
    std::vector<short> pcm(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        pcm[static_cast<size_t>(i)] =
            static_cast<short>(6000 * std::sin(2 * M_PI * hertz * i / rate));
    return encodeMono(pcm, rate, kbps);
}

namespace {
void putSize(QByteArray& tag, int size) {
    for (int k = 0; k < 4; ++k)
        tag[6 + k] = static_cast<char>((size >> (7 * (3 - k))) & 0x7F);
}
} // namespace

QByteArray paddingTag(int version, int padding, bool footer) {
    QByteArray tag("ID3", 3);
    tag += char(version);
    tag += char(0);
    tag += char(footer ? 0x10 : 0);
    tag += QByteArray(4, '\0');
    putSize(tag, padding);
    tag += QByteArray(padding, '\0');
    if (footer)
        tag += "3DI" + tag.mid(3, 7);
    return tag;
}

QByteArray extendedTag(int padding) {
    QByteArray tag("ID3\x03\x00\x40", 6);
    tag += QByteArray(4, '\0');
    putSize(tag, 10 + padding);
    tag += QByteArray("\x00\x00\x00\x06\x00\x00", 6);
    for (int k = 3; k >= 0; --k)
        tag += char((padding >> (8 * k)) & 0xFF);
    tag += QByteArray(padding, '\0');
    return tag;
}

long decodedSamples(const QByteArray& mp3) {
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    if (!h)
        return -1;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        return -1;
    }
    long samples = 0;
    std::vector<unsigned char> pcm(1 << 16);
    size_t done = 0;
    int rc = mpg123_decode(h, reinterpret_cast<const unsigned char*>(mp3.constData()),
                           static_cast<size_t>(mp3.size()), pcm.data(), pcm.size(), &done);
    for (;;) {
        samples += static_cast<long>(done);
        if (rc == MPG123_NEED_MORE || rc == MPG123_DONE)
            break;
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
            samples = -1;
            break;
        }
        rc = mpg123_decode(h, nullptr, 0, pcm.data(), pcm.size(), &done);
    }
    mpg123_delete(h);
    return samples < 0 ? -1 : samples / 2; // 16-bit mono
}

} // namespace testing
