#pragma once
// The embedded player MP: exactly the operations the game uses, over Qt Multimedia.
// The Qt Multimedia objects are created at the first operation that needs them,
// so that start-up does not pay for the media backend.
#include <QObject>
#include <QString>

#include <memory>

class QMediaPlayer;
class QAudioOutput;

namespace playback {

class MediaPlayer : public QObject {
    Q_OBJECT
public:
    explicit MediaPlayer(QObject* parent = nullptr);
    ~MediaPlayer() override;

    void Stop();                            // halts; reports state 0 when something played
    void setFileName(const QString& path);  // empty string closes the file
    QString fileName() const;
    void Play();                            // the opened file from its start
    void setVolume(int hundredthsOfDb);     // linear gain 10^(v / 2000)
    int volume() const;
    void setEnabled(bool enabled);
    bool isEnabled() const;

signals:
    // New state 0 means stopped (at the end of the clip or after Stop); 1 paused, 2 playing.
    void PlayStateChange(int oldState, int newState);

private:
    void ensureBackend();
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* output_ = nullptr;
    QString fileName_;
    int volume_ = 0;
    bool enabled_ = true;
    int state_ = 0;
};

} // namespace playback
