#pragma once
// Whether a clip is one whole MP3 stream, and making its length a multiple of 4 without
// adding anything a player would read as sound.
#include <QByteArray>
#include <QString>

#include <optional>

namespace kit {

struct Stream {
    qint64 tagBytes = 0; // the leading ID3v2 tag, header and footer included; 0 when none
    int frames = 0;
    double seconds = 0; // how long the frames play
    bool id3v1 = false; // a 128-byte ID3v1 tag closes the stream
};

// An optional ID3v2 tag, then complete MPEG audio frames of one version, layer and rate up
// to the end (an ID3v1 tag may close it). Otherwise nullopt and one line naming the byte.
std::optional<Stream> parseStream(const QByteArray& bytes, QString* error);

// The same stream grown by 1 to 13 bytes of ID3v2 padding so its length is a multiple of 4:
// the existing tag's padding grows (a v2.4 footer is dropped first, being only a copy of
// the header), or a padding-only tag is put in front when there is none.
QByteArray alignToWords(const QByteArray& bytes, const Stream& stream);

} // namespace kit
