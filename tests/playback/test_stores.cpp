#include "test_stores.h"

#include "data/clip_table.h"
#include "tests/support/mp3_clips.h"

#include <cmath>
#include <vector>

namespace testing {

namespace {
constexpr int kRate = 24000;
constexpr int kFrameBytes = 72;
} // namespace

QByteArray patternStore(qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i / 4) >> (8 * (3 - i % 4)));
    return bytes;
}

quint32 wordAt(const QByteArray& bytes, qint64 offset) {
    quint32 w = 0;
    for (int i = 0; i < 4; ++i)
        w = (w << 8) | static_cast<quint8>(bytes[offset + i]);
    return w;
}

QByteArray mp3Frames(double seconds) {
    const int n = static_cast<int>(seconds * kRate);
    std::vector<short> pcm(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        pcm[static_cast<size_t>(i)] =
            static_cast<short>(8000 * std::exp(-2 * t) * std::sin(2 * M_PI * 440 * t));
    }
    const QByteArray mp3 = encodeMono(pcm, kRate, 24);
    return mp3.left(mp3.size() / kFrameBytes * kFrameBytes);
}

QByteArray playableClip(qint64 length, const QByteArray& frames) {
    const qint64 room = (length - 10) / kFrameBytes * kFrameBytes;
    const QByteArray body = frames.left(room);
    const qint64 padding = length - 10 - body.size();
    return paddingTag(3, int(padding)) + body;
}

QByteArray playableStore(const QByteArray& frames) {
    QByteArray store;
    for (int k = 0; k <= 30; ++k)
        store.append(playableClip(edition::clipLength(k), frames));
    return store;
}

} // namespace testing
