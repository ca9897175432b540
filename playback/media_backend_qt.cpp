// The media backend over Qt Multimedia: the only code that links it, built as the module
// libdorlo-media.so.
#include "media_backend.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

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

class QtMediaBackend final : public MediaBackend {
public:
    QtMediaBackend() {
        player_.setAudioOutput(&output_);
        QObject::connect(&player_, &QMediaPlayer::playbackStateChanged, &player_,
                         [this](QMediaPlayer::PlaybackState s) {
                             if (stateChanged)
                                 stateChanged(stateNumber(s));
                         });
        QObject::connect(&player_, &QMediaPlayer::errorOccurred, &player_,
                         [this](QMediaPlayer::Error, const QString& text) {
                             if (failed)
                                 failed(text);
                         });
    }
    ~QtMediaBackend() override {
        // The player may still report a state change while it goes away.
        player_.disconnect();
    }

    void open(const QString& path) override {
        const QUrl url = QUrl::fromLocalFile(path);
        // The same name holds a new file by now: reopen it rather than keep the old one.
        if (player_.source() == url)
            player_.setSource(QUrl());
        player_.setSource(url);
    }
    void close() override { player_.setSource(QUrl()); }
    void play() override {
        if (player_.mediaStatus() == QMediaPlayer::InvalidMedia)
            return;
        if (player_.position() != 0)
            player_.setPosition(0);
        player_.play();
    }
    void stop() override { player_.stop(); }
    void setGain(double gain) override { output_.setVolume(static_cast<float>(gain)); }

private:
    // Declared first, destroyed last: the player lets go of it when it goes.
    QAudioOutput output_;
    QMediaPlayer player_;
};

} // namespace
} // namespace playback

extern "C" Q_DECL_EXPORT playback::MediaBackend* dorlo_media_backend_v1() {
    return new playback::QtMediaBackend;
}
