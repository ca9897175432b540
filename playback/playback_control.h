#pragma once
// Play and stop buttons, the player switch, the wait after a hand-over to the system
// player, and the embedded player's stopped notification.
#include "excerpt_files.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QAbstractButton;
class QWidget;

namespace playback {

class MediaPlayer;
class VolumeKnob;
class SoundSwitch;

class PlaybackControl : public QObject {
    Q_OBJECT
public:
    // The window's controls this logic drives, declared here once: the window derives from
    // them.
    struct Controls {
        QWidget* ZoneT1 = nullptr; // takes the focus after a switch click
        SoundSwitch* Son = nullptr;
        VolumeKnob* Volume = nullptr;
        MediaPlayer* MP = nullptr;
    };
    // The form's cursor shows the wait.
    PlaybackControl(QWidget* form, Controls controls, ExcerptFiles& files,
                    QObject* parent = nullptr);

    bool LecteurInterne = true;
    QTimer Timer; // single wait of 2000 ms after a hand-over

    // Hands a file to the system's MP3 application; replaceable by tests.
    std::function<void(const QString& path)> openWithSystem;
    // Opens and plays a file in the embedded player MP; replaceable by tests.
    std::function<void(const QString& path)> playEmbedded;
    // Whether the switch keeps the focus after the click being handled; when unset, or false,
    // the focus goes to the header block.
    std::function<bool()> switchKeepsFocus;

    void Joue(int n);
    void Cmd_Click(int index);
    void Son_Click();
    void MP_PlayStateChange(int oldState, int newState);
    void Timer_Timer();

signals:
    // The clip could not be written out, so nothing plays.
    void clipUnavailable();

private:
    QWidget* form_;
    Controls c_;
    ExcerptFiles& files_;
};

} // namespace playback
