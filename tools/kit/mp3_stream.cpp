#include "mp3_stream.h"

#include <array>

namespace kit {
namespace {

constexpr int kHeader = 10;
constexpr int kId3v1 = 128;
constexpr quint32 kSyncsafeMax = 0x0FFFFFFF;

quint8 at(const QByteArray& b, qint64 i) {
    return static_cast<quint8>(b[i]);
}

struct Frame {
    int version; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer;   // 1..3
    int rate;
    qint64 length; // 0: free format
};

// kbit/s by [MPEG-1?][layer - 1][index]
constexpr std::array<std::array<std::array<int, 16>, 3>, 2> kBitrates{{
    {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}},
    {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}},
}};

std::optional<Frame> frameHeader(const QByteArray& b, qint64 i) {
    if (i + 4 > b.size() || at(b, i) != 0xFF || (at(b, i + 1) & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (at(b, i + 1) >> 3) & 3;
    const int layerBits = (at(b, i + 1) >> 1) & 3;
    const int bitrateIndex = at(b, i + 2) >> 4;
    const int rateIndex = (at(b, i + 2) >> 2) & 3;
    if (version == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    const int layer = 4 - layerBits;
    const bool mpeg1 = version == 3;
    constexpr int kRates[] = {44100, 48000, 32000};
    const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const qint64 bps = 1000LL * kBitrates[mpeg1][layer - 1][bitrateIndex];
    const int padding = (at(b, i + 2) >> 1) & 1;
    qint64 length = 0;
    if (bps) {
        if (layer == 1)
            length = (12 * bps / rate + padding) * 4;
        else
            length = (layer == 3 && !mpeg1 ? 72 : 144) * bps / rate + padding;
    }
    return Frame{version, layer, rate, length};
}

QString describe(const Frame& f) {
    const char* version = f.version == 3 ? "1" : f.version == 2 ? "2" : "2.5";
    return QStringLiteral("MPEG-%1 layer %2 at %3 Hz")
        .arg(QLatin1String(version))
        .arg(f.layer)
        .arg(f.rate);
}

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

quint32 syncsafe(const QByteArray& b, qint64 i) {
    return quint32(at(b, i)) << 21 | quint32(at(b, i + 1)) << 14 | quint32(at(b, i + 2)) << 7 |
           at(b, i + 3);
}

void putSyncsafe(QByteArray& b, qint64 i, quint32 v) {
    for (int k = 0; k < 4; ++k)
        b[i + k] = static_cast<char>((v >> (7 * (3 - k))) & 0x7F);
}

bool hasId3v2(const QByteArray& b) {
    return b.size() >= kHeader && b.startsWith("ID3") && at(b, 3) >= 2 && at(b, 3) <= 4 &&
           (at(b, 6) | at(b, 7) | at(b, 8) | at(b, 9)) < 0x80;
}

} // namespace

std::optional<Stream> parseStream(const QByteArray& bytes, QString* error) {
    if (bytes.isEmpty()) {
        fail(error, QStringLiteral("empty file"));
        return std::nullopt;
    }
    Stream s;
    if (bytes.startsWith("ID3")) {
        if (!hasId3v2(bytes)) {
            fail(error, QStringLiteral("byte 0: a damaged or unknown ID3v2 tag header"));
            return std::nullopt;
        }
        const bool footer = at(bytes, 3) == 4 && (at(bytes, 5) & 0x10);
        s.tagBytes = kHeader + qint64(syncsafe(bytes, 6)) + (footer ? kHeader : 0);
        if (s.tagBytes > bytes.size()) {
            fail(error, QStringLiteral("the ID3v2 tag claims %1 bytes, the file has %2")
                            .arg(s.tagBytes)
                            .arg(bytes.size()));
            return std::nullopt;
        }
    }
    std::optional<Frame> first;
    qint64 i = s.tagBytes;
    while (i < bytes.size()) {
        const qint64 left = bytes.size() - i;
        if (s.frames > 0 && left == kId3v1 && bytes.mid(i, 3) == "TAG") {
            s.id3v1 = true;
            break;
        }
        const std::optional<Frame> f = frameHeader(bytes, i);
        if (!f) {
            fail(error, left < 4
                            ? QStringLiteral("byte %1: %2 stray bytes after the last frame")
                                  .arg(i)
                                  .arg(left)
                            : QStringLiteral("byte %1: not an MPEG audio frame header").arg(i));
            return std::nullopt;
        }
        if (!f->length) {
            fail(error,
                 QStringLiteral("byte %1: free-format bitrate, which players cannot seek").arg(i));
            return std::nullopt;
        }
        if (first &&
            (f->version != first->version || f->layer != first->layer || f->rate != first->rate)) {
            fail(error, QStringLiteral("byte %1: a frame of %2 in a stream of %3")
                            .arg(i)
                            .arg(describe(*f), describe(*first)));
            return std::nullopt;
        }
        if (f->length > left) {
            fail(error, QStringLiteral("byte %1: the last frame is cut short: %2 of %3 bytes")
                            .arg(i)
                            .arg(left)
                            .arg(f->length));
            return std::nullopt;
        }
        if (!first)
            first = f;
        ++s.frames;
        s.seconds += double(f->layer == 1                      ? 384
                            : f->layer == 3 && f->version != 3 ? 576
                                                               : 1152) /
                     f->rate;
        i += f->length;
    }
    if (s.frames == 0) {
        fail(error, QStringLiteral("no MPEG audio frame"));
        return std::nullopt;
    }
    return s;
}

QByteArray alignToWords(const QByteArray& bytes, const Stream& stream) {
    QByteArray out = bytes;
    if (out.size() % 4 == 0)
        return out;
    if (stream.tagBytes > 0 && at(out, 3) == 4 && (at(out, 5) & 0x10)) {
        out.remove(stream.tagBytes - kHeader, kHeader);
        out[5] = static_cast<char>(at(out, 5) & ~0x10);
    }
    const qint64 grow = (4 - out.size() % 4) % 4;
    const qint64 tagBytes = stream.tagBytes > 0 ? kHeader + syncsafe(out, 6) : 0;
    if (tagBytes > 0 && syncsafe(out, 6) + grow <= kSyncsafeMax) {
        // A v2.3 extended header counts the padding itself.
        if (at(out, 3) == 3 && (at(out, 5) & 0x40) && tagBytes >= kHeader + 10) {
            quint32 padding = 0;
            for (int k = 0; k < 4; ++k)
                padding = padding << 8 | at(out, kHeader + 6 + k);
            padding += quint32(grow);
            for (int k = 0; k < 4; ++k)
                out[kHeader + 6 + k] = static_cast<char>(padding >> (8 * (3 - k)));
        }
        putSyncsafe(out, 6, syncsafe(out, 6) + quint32(grow));
        out.insert(tagBytes, QByteArray(grow, '\0'));
        return out;
    }
    const qint64 padding = (4 - (out.size() + kHeader) % 4) % 4;
    QByteArray tag("ID3\x03\x00\x00", 6);
    tag.append(QByteArray(4, '\0'));
    putSyncsafe(tag, 6, quint32(padding));
    tag.append(QByteArray(padding, '\0'));
    return tag + out;
}

} // namespace kit
