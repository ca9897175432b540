#include "test_stores.h"

#include "data/clip_table.h"

#include <QFile>

#include <lame/lame.h>

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
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, kRate);
    lame_set_out_samplerate(gf, kRate);
    lame_set_num_channels(gf, 1);
    lame_set_mode(gf, MONO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, 24);
    lame_set_bWriteVbrTag(gf, 0);
    lame_init_params(gf);

    const int n = static_cast<int>(seconds * kRate);
    std::vector<short> pcm(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        pcm[static_cast<size_t>(i)] =
            static_cast<short>(8000 * std::exp(-2 * t) * std::sin(2 * M_PI * 440 * t));
    }
    std::vector<unsigned char> out(static_cast<size_t>(n + n / 4 + 7200));
    int size =
        lame_encode_buffer(gf, pcm.data(), pcm.data(), n, out.data(), static_cast<int>(out.size()));
    size += lame_encode_flush(gf, out.data() + size, static_cast<int>(out.size()) - size);
    lame_close(gf);
    return QByteArray(reinterpret_cast<const char*>(out.data()), size / kFrameBytes * kFrameBytes);
}

QByteArray playableClip(qint64 length, const QByteArray& frames) {
    const qint64 room = (length - 10) / kFrameBytes * kFrameBytes;
    const QByteArray body = frames.left(room);
    const qint64 padding = length - 10 - body.size();
    QByteArray clip("ID3\x03\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        clip.append(static_cast<char>((padding >> shift) & 0x7f));
    clip.append(QByteArray(padding, '\0'));
    clip.append(body);
    return clip;
}

QByteArray playableStore(const QByteArray& frames) {
    QByteArray store;
    for (int k = 0; k <= 30; ++k)
        store.append(playableClip(edition::clipLength(k), frames));
    return store;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace testing
