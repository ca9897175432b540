#include "media_player.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <utility>

namespace playback {

namespace {

int stateNumber(QMediaPlayer::PlaybackState s) {
    switch (s) {
    case QMediaPlayer::PausedState:
        return 1;
    case QMediaPlayer::PlayingState:
        return 2;
    case QMediaPlayer::StoppedState:
        break;
    }
    return 0;
}

double gainFor(int hundredthsOfDb) {
    return std::clamp(std::pow(10.0, hundredthsOfDb / 2000.0), 0.0, 1.0);
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
    if (player_) {
        player_->disconnect(this);
        delete player_;
    }
    delete output_;
}

void MediaPlayer::ensureBackend() {
    if (player_)
        return;
    selectMediaBackend();
    output_ = new QAudioOutput(this);
    output_->setVolume(static_cast<float>(gainFor(volume_)));
    player_ = new QMediaPlayer(this);
    player_->setAudioOutput(output_);
    connect(player_, &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState s) {
                const int now = stateNumber(s);
                if (now == state_)
                    return;
                const int old = std::exchange(state_, now);
                emit PlayStateChange(old, now);
            });
    connect(player_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& text) {
                qWarning("Dorlo: cannot play %s: %s", qUtf8Printable(fileName_),
                         qUtf8Printable(text));
                // Left alone the backend stays "playing"; stopping reports state 0 so the
                // file gets closed. Outside the backend's own callback.
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (player_)
                            player_->stop();
                    },
                    Qt::QueuedConnection);
            });
}

void MediaPlayer::Stop() {
    if (player_)
        player_->stop();
}

void MediaPlayer::setFileName(const QString& path) {
    fileName_ = path;
    if (path.isEmpty()) {
        // Usually asked from inside a state notification: close once the backend is out
        // of its callback, unless a new file has been opened meanwhile.
        if (player_)
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (fileName_.isEmpty() && player_)
                        player_->setSource(QUrl());
                },
                Qt::QueuedConnection);
        return;
    }
    ensureBackend();
    const QUrl url = QUrl::fromLocalFile(path);
    // The same name holds a new file by now: reopen it rather than keep the old one.
    if (player_->source() == url)
        player_->setSource(QUrl());
    player_->setSource(url);
}

QString MediaPlayer::fileName() const {
    return fileName_;
}

void MediaPlayer::Play() {
    if (fileName_.isEmpty())
        return;
    ensureBackend();
    if (player_->mediaStatus() == QMediaPlayer::InvalidMedia)
        return;
    if (player_->position() != 0)
        player_->setPosition(0);
    player_->play();
}

void MediaPlayer::setVolume(int hundredthsOfDb) {
    volume_ = hundredthsOfDb;
    if (output_)
        output_->setVolume(static_cast<float>(gainFor(volume_)));
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
    return player_ != nullptr;
}

} // namespace playback
