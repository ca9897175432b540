#include "system_player.h"

#include <QDesktopServices>
#include <QUrl>

namespace playback {

void openWithSystemPlayer(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace playback
