#include "mp3_decoder.h"

#include <mpg123.h>

#include <mutex>

namespace playback {

Mp3Decoder::Mp3Decoder() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

Mp3Decoder::~Mp3Decoder() {
    close();
}

void Mp3Decoder::close() {
    if (h_)
        mpg123_delete(h_);
    h_ = nullptr;
    rate_ = channels_ = 0;
    ended_ = true;
}

bool Mp3Decoder::open(const QByteArray& mp3, QString* error) {
    close();
    int err = MPG123_OK;
    h_ = mpg123_new(nullptr, &err);
    if (!h_) {
        *error = QString::fromUtf8(mpg123_plain_strerror(err));
        return false;
    }
    mpg123_param(h_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Whatever rate and channel count the stream has, always as 16-bit samples.
    mpg123_format_none(h_);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h_) != MPG123_OK ||
        mpg123_feed(h_, reinterpret_cast<const unsigned char*>(mp3.constData()),
                    static_cast<std::size_t>(mp3.size())) != MPG123_OK) {
        *error = QString::fromUtf8(mpg123_strerror(h_));
        close();
        return false;
    }
    // The format comes with the first frame; the samples it holds stay for read().
    off_t frame = 0;
    unsigned char* audio = nullptr;
    std::size_t bytes = 0;
    const int ret = mpg123_decode_frame(h_, &frame, &audio, &bytes);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (ret != MPG123_NEW_FORMAT ||
        mpg123_getformat(h_, &rate, &channels, &encoding) != MPG123_OK) {
        *error = QStringLiteral("no MP3 frame in %1 bytes").arg(mp3.size());
        close();
        return false;
    }
    rate_ = static_cast<int>(rate);
    channels_ = channels;
    ended_ = false;
    return true;
}

std::ptrdiff_t Mp3Decoder::read(std::int16_t* out, std::size_t bytes) {
    if (ended_)
        return 0;
    bytes -= bytes % (sizeof(std::int16_t) * static_cast<std::size_t>(channels_));
    std::size_t total = 0;
    while (total < bytes) {
        std::size_t done = 0;
        const int ret =
            mpg123_read(h_, reinterpret_cast<unsigned char*>(out) + total, bytes - total, &done);
        total += done;
        if (ret == MPG123_NEED_MORE || ret == MPG123_DONE) {
            ended_ = true; // the whole stream was fed at once: nothing more will come
            break;
        }
        if (ret != MPG123_OK && ret != MPG123_NEW_FORMAT)
            return total > 0 ? static_cast<std::ptrdiff_t>(total) : -1;
    }
    return static_cast<std::ptrdiff_t>(total);
}

} // namespace playback
