#pragma once
// Hands a file to whatever application the desktop opens it with.
#include <QString>

#include <functional>

class QObject;

namespace playback {

// The result is not examined: without an MP3 application nothing happens.
void openWithSystemPlayer(const QString& path);

// Asks the desktop, without waiting, whether it names an application for MP3 files, and
// answers on context's thread: false when it names none, true when it does or cannot say.
void askForSystemPlayer(QObject* context, std::function<void(bool found)> answer);

} // namespace playback
