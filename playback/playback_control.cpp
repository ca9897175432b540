#include "playback_control.h"

#include "engine/records.h"
#include "media_player.h"
#include "sound_switch.h"
#include "system_player.h"
#include "volume.h"

#include <QWidget>

namespace playback {

PlaybackControl::PlaybackControl(QWidget* form, Controls controls, ExcerptFiles& files,
                                 QObject* parent)
    : QObject(parent), openWithSystem(openWithSystemPlayer), form_(form), c_(controls),
      files_(files) {
    playEmbedded = [mp = c_.MP](const QString& path) {
        mp->setFileName(path);
        mp->Play();
    };
    Timer.setInterval(2000);
    Timer.setSingleShot(true);
    Timer.setTimerType(Qt::PreciseTimer); // a coarse one may end the wait up to 5 % early
    connect(&Timer, &QTimer::timeout, this, &PlaybackControl::Timer_Timer);
    // The window connects only its buttons; the rest of the wiring lives here.
    connect(c_.MP, &MediaPlayer::PlayStateChange, this, &PlaybackControl::MP_PlayStateChange);
    connect(c_.Volume, &VolumeKnob::volumeSet, c_.MP, &MediaPlayer::setVolume);
}

void PlaybackControl::Joue(int n) {
    if (Timer.isActive())
        return;
    files_.chooseNextName();
    c_.MP->Stop();
    c_.Volume->applyVolume();
    if (!files_.extract(n)) {
        emit clipUnavailable(); // nothing written, nothing handed over, no wait
        return;
    }
    if (LecteurInterne) {
        if (playEmbedded)
            playEmbedded(files_.FichierMP3);
        return;
    }
    if (openWithSystem)
        openWithSystem(files_.FichierMP3);
    Timer.start();
    if (form_)
        form_->setCursor(Qt::WaitCursor);
}

void PlaybackControl::Cmd_Click(int index) {
    if (index >= 1 && index <= engine::kQuestions) {
        Joue(index);
    } else if (index > engine::kQuestions && index <= 2 * engine::kQuestions) {
        if (LecteurInterne)
            c_.MP->Stop();
        else
            Joue(0);
    }
}

void PlaybackControl::Son_Click() {
    if (Timer.isActive())
        return;
    if (c_.Son)
        c_.Son->swapPictures();
    if (LecteurInterne)
        c_.MP->Stop();
    LecteurInterne = !LecteurInterne;
    c_.MP->setEnabled(LecteurInterne);
    if (c_.Son)
        c_.Son->setChecked(LecteurInterne);
    if (c_.ZoneT1 && !(switchKeepsFocus && switchKeepsFocus()))
        c_.ZoneT1->setFocus();
}

void PlaybackControl::MP_PlayStateChange(int, int newState) {
    if (newState == MediaPlayer::Stopped)
        c_.MP->setFileName(QString());
}

void PlaybackControl::Timer_Timer() {
    Timer.stop();
    if (form_)
        form_->unsetCursor();
    files_.deleteCurrent();
}

} // namespace playback
