#include "system_player.h"

#include <QDesktopServices>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <utility>

namespace playback {

void openWithSystemPlayer(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void askForSystemPlayer(QObject* context, std::function<void(bool found)> answer) {
    auto* query = new QProcess(context);
    const auto answered = std::make_shared<bool>(false);
    const auto done = [query, answer, answered](bool found) {
        if (std::exchange(*answered, true))
            return;
        query->deleteLater();
        answer(found);
    };
    QObject::connect(query, &QProcess::finished, query, [query, done](int code) {
        done(code != 0 || !query->readAllStandardOutput().trimmed().isEmpty());
    });
    QObject::connect(query, &QProcess::errorOccurred, query, [done](QProcess::ProcessError) {
        done(true); // no way to ask: the hand-over may well work
    });
    // A desktop that does not answer within two seconds is given the benefit of the doubt.
    QTimer::singleShot(2000, query, [query, done] {
        query->kill();
        done(true);
    });
    query->start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                              QStringLiteral("audio/mpeg")});
}

} // namespace playback
