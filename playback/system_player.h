#pragma once
// Hands a file to whatever application the desktop opens it with.
#include <QString>

namespace playback {

// The result is not examined: without an MP3 application nothing happens.
void openWithSystemPlayer(const QString& path);

} // namespace playback
