#include "mp3_duration.h"

#include <array>

namespace page {

namespace {

// kbit/s by bitrate index: MPEG-1 layers I, II, III, then MPEG-2/2.5 layer I and layers II/III.
constexpr std::array<std::array<int, 16>, 5> kBitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
}};

struct Frame {
    int bytes = 0;
    int samples = 0;
    int rate = 0;
};

std::optional<Frame> frameAt(const QByteArray& data, qsizetype at) {
    if (at + 4 > data.size())
        return std::nullopt;
    const auto b = [&](int i) {
        return static_cast<unsigned char>(data[at + i]);
    };
    if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (b(1) >> 3) & 3; // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
    const int layer = 4 - ((b(1) >> 1) & 3);
    const int bitrateIndex = b(2) >> 4;
    const int rateIndex = (b(2) >> 2) & 3;
    // Free-format frames carry no length, so they count as damaged like reserved values.
    if (version == 1 || layer == 4 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15)
        return std::nullopt;
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    const int bitrate = kBitrates[table][bitrateIndex] * 1000;
    const int rate = std::array{44100, 48000, 32000}[rateIndex] >> (mpeg1          ? 0
                                                                    : version == 2 ? 1
                                                                                   : 2);
    const int padding = (b(2) >> 1) & 1;
    Frame f;
    f.rate = rate;
    if (layer == 1) {
        f.samples = 384;
        f.bytes = (12 * bitrate / rate + padding) * 4;
    } else {
        f.samples = layer == 3 && !mpeg1 ? 576 : 1152;
        f.bytes = f.samples / 8 * bitrate / rate + padding;
    }
    return f;
}

} // namespace

std::optional<double> mp3Seconds(const QByteArray& clip, QString* error) {
    qsizetype at = 0;
    if (clip.startsWith("ID3") && clip.size() >= 10) {
        qsizetype size = 0;
        for (int i = 6; i < 10; ++i)
            size = size << 7 | (static_cast<unsigned char>(clip[i]) & 0x7F);
        const bool footer = static_cast<unsigned char>(clip[5]) & 0x10;
        at = 10 + size + (footer ? 10 : 0);
    }
    double seconds = 0;
    int frames = 0;
    while (at < clip.size()) {
        if (clip.size() - at == 128 && clip.sliced(at).startsWith("TAG"))
            break;
        const auto f = frameAt(clip, at);
        if (!f || at + f->bytes > clip.size()) {
            *error = QStringLiteral("no whole MPEG audio frame at byte %1").arg(at);
            return std::nullopt;
        }
        seconds += double(f->samples) / f->rate;
        at += f->bytes;
        ++frames;
    }
    if (frames == 0) {
        *error = QStringLiteral("no MPEG audio frame");
        return std::nullopt;
    }
    return seconds;
}

} // namespace page
