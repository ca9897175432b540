#pragma once
// The embedded player MP: exactly the operations the game uses, over the audio output of
// playback/media_backend.h. That output lives in a module loaded, and connected to the
// sound server, on a thread of its own once the window is first drawn: start-up does not
// pay for it, and neither does the first play.
#include <QObject>
#include <QString>

#include <future>
#include <memory>

namespace playback {

class MediaBackend;

class MediaPlayer : public QObject {
    Q_OBJECT
public:
    // With a widget for parent, the output is prepared once that widget's window is drawn.
    // The values are those the notification carries: 0 always means stopped.
    enum PlayState : int { Stopped = 0, Paused = 1, Playing = 2 };
    Q_ENUM(PlayState)

    explicit MediaPlayer(QObject* parent = nullptr);
    ~MediaPlayer() override;

    void Stop();                           // halts, and reports Stopped in any case
    void setFileName(const QString& path); // empty string closes the file
    QString fileName() const;
    void Play();                        // the opened file from its start
    void setVolume(int hundredthsOfDb); // linear gain 10^(v / 2000), live while playing
    int volume() const;
    float gain() const; // what the audio output is given, 0..1
    void setEnabled(bool enabled);
    bool isEnabled() const;

    PlayState playState() const; // last state reported
    bool hasBackend() const;     // whether the audio output has been brought up yet
    // Loads and connects the output in the background, if not done yet.
    void prepare();

signals:
    // Two PlayState values as plain numbers; Stopped at the end of the clip or after Stop.
    void PlayStateChange(int oldState, int newState);
    // A play that could not start or broke off (no player module, undecodable file, no
    // sound server or one that went away); the reason is also on stderr.
    void PlayFailed(const QString& reason);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ensureBackend(); // false when the module cannot be loaded: nothing plays
    void backendState(PlayState now);
    void playFailed(const QString& reason);
    std::future<MediaBackend*> warming_;
    std::unique_ptr<MediaBackend> backend_;
    QString fileName_;
    int volume_ = 0;
    bool enabled_ = true;
    PlayState state_ = Stopped;
    int playId_ = 0; // events of earlier plays are stale
};

} // namespace playback
