#include "media_player.h"

#include "media_backend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <utility>

namespace playback {

namespace {

double gainFor(int hundredthsOfDb) {
    return std::clamp(std::pow(10.0, hundredthsOfDb / 2000.0), 0.0, 1.0);
}

// Beside the game first. DORLO_MEDIA_MODULE names another file; programs run from the
// build tree (tests, benchmarks) otherwise find the module at the top of that tree.
QStringList modulePlaces() {
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList places{QDir(appDir).filePath(QString::fromLatin1(kMediaModuleFile))};
    const QString chosen = qEnvironmentVariable("DORLO_MEDIA_MODULE");
    if (!chosen.isEmpty()) {
        places << chosen;
        return places;
    }
#ifdef DORLO_MEDIA_BUILD_DIR
    const QString buildDir = QDir::cleanPath(QStringLiteral(DORLO_MEDIA_BUILD_DIR));
    if (QDir::cleanPath(appDir).startsWith(buildDir + QLatin1Char('/')))
        places << QDir(buildDir).filePath(QString::fromLatin1(kMediaModuleFile));
#endif
    return places;
}

// Loaded once per process and never unloaded: Qt Multimedia keeps threads and plugins.
MediaBackendFactory loadFactory() {
    const QStringList places = modulePlaces();
    QString why = QStringLiteral("not found");
    QString tried = places.last();
    for (const QString& file : places) {
        if (!QFileInfo::exists(file))
            continue;
        QLibrary module(file);
        if (auto f = reinterpret_cast<MediaBackendFactory>(module.resolve(kMediaBackendFactory)))
            return f;
        tried = file;
        why = module.errorString();
    }
    qWarning("Dorlo: no embedded player, cannot load %s: %s", qUtf8Printable(tried),
             qUtf8Printable(why));
    return nullptr;
}

MediaBackendFactory factory() {
    static const MediaBackendFactory f = loadFactory();
    return f;
}

} // namespace

void selectMediaBackend() {
    // The ffmpeg backend crashes on machines without an audio device; GStreamer plays
    // into a silent sink there.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
}

MediaPlayer::MediaPlayer(QObject* parent) : QObject(parent) {
    selectMediaBackend();
}

MediaPlayer::~MediaPlayer() {
    // The backend may still report a state change while it goes away; this object is
    // no longer there to hear it.
    if (backend_) {
        backend_->stateChanged = nullptr;
        backend_->failed = nullptr;
    }
}

bool MediaPlayer::ensureBackend() {
    if (backend_)
        return true;
    selectMediaBackend();
    const MediaBackendFactory make = factory();
    if (!make)
        return false;
    backend_.reset(make());
    backend_->setGain(gainFor(volume_));
    backend_->stateChanged = [this](int now) {
        backendState(now);
    };
    backend_->failed = [this](const QString& text) {
        qWarning("Dorlo: cannot play %s: %s", qUtf8Printable(fileName_), qUtf8Printable(text));
        // Left alone the backend stays "playing"; stopping reports state 0 so the file
        // gets closed. Outside the backend's own callback.
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                if (backend_)
                    backend_->stop();
                emit PlayFailed(text);
            },
            Qt::QueuedConnection);
    };
    return true;
}

void MediaPlayer::backendState(int now) {
    if (now == state_)
        return;
    const int old = std::exchange(state_, now);
    emit PlayStateChange(old, now);
}

void MediaPlayer::Stop() {
    if (backend_)
        backend_->stop();
}

void MediaPlayer::setFileName(const QString& path) {
    fileName_ = path;
    if (path.isEmpty()) {
        // Usually asked from inside a state notification: close once the backend is out
        // of its callback, unless a new file has been opened meanwhile.
        if (backend_)
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (fileName_.isEmpty() && backend_)
                        backend_->close();
                },
                Qt::QueuedConnection);
        return;
    }
    if (ensureBackend())
        backend_->open(path);
}

QString MediaPlayer::fileName() const {
    return fileName_;
}

void MediaPlayer::Play() {
    if (fileName_.isEmpty())
        return;
    if (ensureBackend())
        backend_->play();
    else
        emit PlayFailed(QStringLiteral("no embedded player"));
}

void MediaPlayer::setVolume(int hundredthsOfDb) {
    volume_ = hundredthsOfDb;
    if (backend_)
        backend_->setGain(gainFor(volume_));
}

int MediaPlayer::volume() const {
    return volume_;
}

float MediaPlayer::gain() const {
    return static_cast<float>(gainFor(volume_));
}

void MediaPlayer::setEnabled(bool enabled) {
    enabled_ = enabled;
}

bool MediaPlayer::isEnabled() const {
    return enabled_;
}

int MediaPlayer::playState() const {
    return state_;
}

bool MediaPlayer::hasBackend() const {
    return backend_ != nullptr;
}

} // namespace playback
