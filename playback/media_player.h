#pragma once
// The embedded player MP: exactly the operations the game uses, over Qt Multimedia.
// Qt Multimedia lives in a module (playback/media_backend.h) loaded and brought up at the
// first operation that needs it, so that start-up does not pay for the media backend.
#include <QObject>
#include <QString>

#include <memory>

namespace playback {

class MediaBackend;

// Keeps Qt Multimedia on its GStreamer backend unless QT_MEDIA_BACKEND says otherwise;
// must run before the first Qt Multimedia object exists.
void selectMediaBackend();

class MediaPlayer : public QObject {
    Q_OBJECT
public:
    explicit MediaPlayer(QObject* parent = nullptr);
    ~MediaPlayer() override;

    void Stop();                           // halts; reports state 0 when something played
    void setFileName(const QString& path); // empty string closes the file
    QString fileName() const;
    void Play();                        // the opened file from its start
    void setVolume(int hundredthsOfDb); // linear gain 10^(v / 2000)
    int volume() const;
    float gain() const; // what the audio output is given, 0..1
    void setEnabled(bool enabled);
    bool isEnabled() const;

    int playState() const;   // last state reported: 0 stopped, 1 paused, 2 playing
    bool hasBackend() const; // whether Qt Multimedia has been brought up yet

signals:
    // New state 0 means stopped (at the end of the clip or after Stop); 1 paused, 2 playing.
    void PlayStateChange(int oldState, int newState);
    // A play that could not start or broke off (no player module, undecodable file, no
    // sound output); the reason is also on stderr.
    void PlayFailed(const QString& reason);

private:
    bool ensureBackend(); // false when the module cannot be loaded: nothing plays
    void backendState(int now);
    std::unique_ptr<MediaBackend> backend_;
    QString fileName_;
    int volume_ = 0;
    bool enabled_ = true;
    int state_ = 0;
};

} // namespace playback
