#pragma once
// Excerpt stores made by the tests: a byte pattern whose every 4-byte word tells its own
// position, and one of real, playable MP3 clips.
#include "tests/support/files.h"

#include <QByteArray>
#include <QString>

namespace testing {

// Byte i belongs to word i / 4, which holds that word number big-endian.
QByteArray patternStore(qint64 length);
quint32 wordAt(const QByteArray& bytes, qint64 offset);

// Constant-bitrate mono MP3 (24 kHz, 24 kbit/s: 72-byte frames, no info frame) of a
// decaying tone lasting about the given time.
QByteArray mp3Frames(double seconds);

// One clip of exactly `length` bytes: an ID3v2 tag whose padding fills what the frames
// leave, then as many whole frames of `frames` as fit.
QByteArray playableClip(qint64 length, const QByteArray& frames);

// All 31 clips, each a playable stream of `frames`.
QByteArray playableStore(const QByteArray& frames);

} // namespace testing
