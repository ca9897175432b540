#pragma once
// An MP3 stream held in memory, decoded to 16-bit samples a block at a time, so that
// playback can start after the first frame rather than after the whole clip.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

namespace playback {

class Mp3Decoder {
public:
    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Takes the whole stream and decodes up to its first frame; false with the reason when
    // no frame can be decoded. The bytes are copied: the caller's buffer may go.
    bool open(const QByteArray& mp3, QString* error);
    void close();

    int rate() const { return rate_; }
    int channels() const { return channels_; }

    // Up to `bytes` bytes of interleaved samples (a whole number of them): how many were
    // written, 0 at the end of the stream, -1 on a decoding error.
    std::ptrdiff_t read(std::int16_t* out, std::size_t bytes);

private:
    mpg123_handle_struct* h_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    bool ended_ = true;
};

} // namespace playback
