#pragma once
// How long a clip plays: its MPEG audio frames counted, as a browser would play them.
#include <QByteArray>
#include <QString>

#include <optional>

namespace page {

// An optional leading ID3v2 tag, then whole MPEG audio frames to the end (a closing 128-byte
// ID3v1 tag is allowed). Otherwise nullopt and `error` names the byte.
std::optional<double> mp3Seconds(const QByteArray& clip, QString* error);

} // namespace page
