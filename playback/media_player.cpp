#include "media_player.h"

#include "media_backend.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

namespace playback {

namespace {

constexpr int kPrepareDelayMs = 200;

double gainFor(int hundredthsOfDb) {
    return std::clamp(std::pow(10.0, hundredthsOfDb / 2000.0), 0.0, 1.0);
}

// Beside the game first, then the file DORLO_MEDIA_MODULE names: the tests and benchmarks,
// which do not lie beside the module, are told where it is that way.
QStringList modulePlaces() {
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList places{QDir(appDir).filePath(QString::fromLatin1(kMediaModuleFile))};
    const QString chosen = qEnvironmentVariable("DORLO_MEDIA_MODULE");
    if (!chosen.isEmpty())
        places << chosen;
    return places;
}

// Loaded once per process and never unloaded.
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

MediaPlayer::MediaPlayer(QObject* parent) : QObject(parent) {
    if (auto* widget = qobject_cast<QWidget*>(parent))
        widget->window()->installEventFilter(this);
}

MediaPlayer::~MediaPlayer() {
    // Its thread ends with it, so no event of it reaches this object any more.
    if (warming_.valid())
        backend_.reset(warming_.get());
    backend_.reset();
}

bool MediaPlayer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        // A moment after the whole first pass is drawn, however long that pass takes, and
        // still well before a player can reach for a play button.
        QTimer::singleShot(
            0, this, [this] { QTimer::singleShot(kPrepareDelayMs, this, &MediaPlayer::prepare); });
    }
    return false;
}

void MediaPlayer::prepare() {
    if (backend_ || warming_.valid())
        return;
    warming_ = std::async(std::launch::async, []() -> MediaBackend* {
        const MediaBackendFactory make = factory();
        return make ? make() : nullptr;
    });
}

bool MediaPlayer::ensureBackend() {
    if (backend_)
        return true;
    prepare();
    backend_.reset(warming_.get());
    if (!backend_)
        return false;
    backend_->setGain(gainFor(volume_));
    // From the backend's thread to this one; a play that was stopped or replaced since
    // is no longer this player's concern.
    backend_->ended = [this](int id) {
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                if (id == playId_)
                    backendState(Stopped);
            },
            Qt::QueuedConnection);
    };
    backend_->failed = [this](int id, const QString& text) {
        QMetaObject::invokeMethod(
            this,
            [this, id, text] {
                if (id == playId_ && state_ != Stopped) {
                    ++playId_;
                    playFailed(text);
                    backendState(Stopped);
                }
            },
            Qt::QueuedConnection);
    };
    return true;
}

void MediaPlayer::playFailed(const QString& reason) {
    qWarning("Dorlo: cannot play %s: %s", qUtf8Printable(fileName_), qUtf8Printable(reason));
    emit PlayFailed(reason);
}

void MediaPlayer::backendState(PlayState now) {
    if (now == state_)
        return;
    const PlayState old = std::exchange(state_, now);
    emit PlayStateChange(old, now);
}

void MediaPlayer::Stop() {
    ++playId_;
    if (backend_)
        backend_->stop();
    // Reported even when nothing played: the listener closes the file on it.
    const PlayState old = std::exchange(state_, Stopped);
    emit PlayStateChange(old, Stopped);
}

void MediaPlayer::setFileName(const QString& path) {
    fileName_ = path;
    if (path.isEmpty()) {
        if (backend_) {
            ++playId_;
            backend_->close();
        }
        backendState(Stopped);
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
    if (!ensureBackend()) {
        emit PlayFailed(QStringLiteral("no embedded player"));
        return;
    }
    const QString problem = backend_->play(++playId_);
    if (!problem.isEmpty()) {
        playFailed(problem);
        backendState(Stopped);
        return;
    }
    backendState(Playing);
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

MediaPlayer::PlayState MediaPlayer::playState() const {
    return state_;
}

bool MediaPlayer::hasBackend() const {
    return backend_ != nullptr || warming_.valid();
}

} // namespace playback
