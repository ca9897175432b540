#pragma once
// Small MP3 clips for the tests: lame-encoded tones, ID3 tags of chosen shapes, and a
// decoder count of what a player would hear.
#include <QByteArray>

#include <vector>

namespace testing {

// Constant-bitrate mono MP3 of 16-bit samples, with no tag and no info frame.
QByteArray encodeMono(const std::vector<short>& pcm, int rate, int kbps);

// CBR mono tone: at 24000 Hz and 24 kbit/s every frame is 72 bytes; at 44100 Hz and
// 128 kbit/s frames are 417 or 418 bytes, so lengths fall on any remainder mod 4.
QByteArray tone(double seconds, double hertz, int rate = 24000, int kbps = 24);

// An ID3v2.<version> tag holding only `padding` zero bytes; a v2.4 one may carry a footer.
QByteArray paddingTag(int version, int padding, bool footer = false);
// An ID3v2.3 tag with an extended header that counts its `padding`.
QByteArray extendedTag(int padding);

// Samples libmpg123 decodes from the stream; -1 when it reports an error.
long decodedSamples(const QByteArray& mp3);

} // namespace testing
