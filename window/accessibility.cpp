#include "window/accessibility.h"

#include "data/edition.h"
#include "engine/check.h"
#include "layout/wheel_ctl.h"
#include "playback/media_player.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/system_player.h"
#include "playback/volume.h"
#include "window/accessible_factory.h"
#include "window/assistive_technology.h"
#include "window/frm_dorlo.h"
#include "window/question_navigation.h"

#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>

#include <array>
#include <utility>

namespace window::accessibility {
namespace {

void name(QWidget* w, const QString& name, const QString& description) {
    w->setAccessibleName(name);
    w->setAccessibleDescription(description);
}

QString question(int n) {
    return QStringLiteral("Question %1").arg(n);
}

// What has been spoken, and the label that speaks: a notification is what the screen
// reader voices when it appears, whatever has the focus.
class Voice : public QObject {
public:
    explicit Voice(FrmDorlo& form) : QObject(&form), form_(form) {
        setObjectName(QStringLiteral("voice"));
    }

    std::array<QString, kQuestions + 1> lastChecked{}; // outcome and answer, per question
    int lastCount = -1;
    int asked = 0;   // the question whose play button was pressed last
    int playing = 0; // the question whose clip plays
    int said = 0;
    bool stopExpected = false; // the next stop is a control's doing, not the clip's end
    int level = 0;             // the knob's, last said
    bool stopIgnored = false;  // the stop button was pressed during the wait

    void say(const QString& text) {
        if (!AssistiveTechnology::active())
            return;
        ++said;
        if (!label_) {
            // In a status bar, a screen reader speaks the notification without its role.
            auto* bar = new QWidget(&form_);
            bar->setGeometry(0, 0, 1, 1);
            exposeAs(bar, QAccessible::StatusBar);
            bar->lower();
            bar->show();
            label_ = new QLabel(bar);
            label_->setTextFormat(Qt::PlainText);
            label_->setGeometry(0, 0, 1, 1);
            QPalette pal = label_->palette();
            pal.setColor(QPalette::WindowText, Qt::transparent);
            label_->setPalette(pal);
            exposeAs(label_, QAccessible::Notification);
        }
        label_->hide();
        label_->setText(text);
        label_->setAccessibleName(text);
        label_->lower();
        label_->show();
    }

private:
    FrmDorlo& form_;
    QLabel* label_ = nullptr;
};

Voice* voiceOf(FrmDorlo& form) {
    return form.findChild<Voice*>(QStringLiteral("voice"), Qt::FindDirectChildrenOnly);
}

void describeSwitch(FrmDorlo& form) {
    form.Son->setAccessibleDescription((form.playback()->LecteurInterne
                                            ? QStringLiteral("Activé. ")
                                            : QStringLiteral("Désactivé. ")) +
                                       form.Son->toolTip());
}

QString codeText(const QString& code) {
    if (code.isEmpty() || code == engine::kCodePlaceholder)
        return QStringLiteral("aucun code, aucune bonne réponse");
    // Letter by letter: the code is no word.
    QStringList letters;
    for (QChar c : code)
        letters << QString(c);
    return letters.join(QLatin1Char(' '));
}

QString countText(FrmDorlo& form) {
    return QStringLiteral("%1 sur %2").arg(form.LblNbR1->text()).arg(kQuestions);
}

int focusedQuestion(FrmDorlo& form) {
    QWidget* focus = QApplication::focusWidget();
    for (int n = 1; n <= kQuestions; ++n)
        if (focus &&
            (focus == form.Txt[n] || focus == form.Cmd[n] || focus == form.Cmd[n + kQuestions]))
            return n;
    return 0;
}

// Before any name: a name set announces the widget, which makes its interface.
void exposeRoles(FrmDorlo& form) {
    exposeAs(&form, QAccessible::Window);
    // Sections, not groupings: a screen reader names a grouping's role ("tableau de bord")
    // each time the focus enters it, and says a section's nothing; each control names its
    // question itself.
    for (QWidget* zone : {form.ZoneT0, form.ZoneT1, form.ZoneT2, form.ZoneT3, form.ZoneSon})
        exposeAs(zone, QAccessible::Section);
    // The viewport and the content it scrolls only lay the panels out.
    exposeAs(form.ZoneP1, QAccessible::Section);
    exposeAs(form.ZoneP2, QAccessible::Section);
    for (int n = 1; n <= kQuestions; ++n) {
        exposeAs(form.Shape[n], QAccessible::Section);
        exposeAs(form.Txt[n], QAccessible::EditableText);
        exposeAs(form.Cmd[n], QAccessible::Button); // pressed while its clip plays
    }
    exposeAs(form.Volume, QAccessible::Slider);
    exposeAs(form.LblSite, QAccessible::Link);
    for (QWidget* decoration : {form.LineT1, form.LineT3})
        conceal(decoration);
    for (QLabel* l : form.ZoneSon->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (l != form.Volume)
            conceal(l); // the gauge: the knob's value says the same
    for (QLabel* record : form.fr)
        conceal(record);
    conceal(form.Wheel);
}

// Said after the title at start-up: a returning player hears where they stand.
QString startHint(FrmDorlo& form) {
    bool returning = false;
    for (int n = 1; n <= kQuestions; ++n)
        returning = returning || !form.Txt[n]->text().isEmpty();
    if (returning)
        return form.LblIndics->text() + QStringLiteral(". ") + countText(form) +
               QStringLiteral(". Code de classement : ") + codeText(form.LblCode1->text()) +
               QStringLiteral(". Touche ") + scoreKeyName() + QStringLiteral(" : les redire. ") +
               navigationHint();
    return form.LblIndics->text() + QStringLiteral(". Touche ") + scoreKeyName() +
           QStringLiteral(" : nombre de bonnes réponses et code de classement. ") +
           navigationHint();
}

void nameHeader(FrmDorlo& form) {
    name(&form, edition::title(), startHint(form));
    name(form.ZoneT0, QStringLiteral("En-tête"), QStringLiteral("Score, titre, son et site"));
    name(form.ZoneT1, QStringLiteral("Score"),
         QStringLiteral("Nombre de bonnes réponses et code de classement"));
    form.LblNbR1->setAccessibleDescription(QStringLiteral("Nombre de bonnes réponses ; touche ") +
                                           scoreKeyName());
    // The key speaks only under a screen reader; so does the tooltip that names it.
    const QString countTip = QStringLiteral("Nombre de bonnes réponses ; la touche ") +
                             scoreKeyName() + QStringLiteral(" le dit, avec le code de classement");
    const auto showCountTip = [count = form.LblNbR1, countTip](bool assistive) {
        count->setToolTip(assistive ? countTip : QString());
    };
    showCountTip(AssistiveTechnology::active());
    QObject::connect(&AssistiveTechnology::watcher(), &AssistiveTechnology::activeChanged,
                     form.LblNbR1, showCountTip);
    name(form.LblNbR2, QStringLiteral("sur %1").arg(kQuestions),
         QStringLiteral("Nombre de questions"));
    form.LblNbR2->setBuddy(form.LblNbR1);
    name(form.LblCode0, form.LblCode0->text(), form.LblCode0->toolTip());
    form.LblCode0->setBuddy(form.LblCode1);
    form.LblCode1->setAccessibleDescription(form.LblCode1->toolTip());
    name(form.ZoneT2, QStringLiteral("Titre"), QStringLiteral("Titre du jeu et consigne"));
    name(form.LblTitre, QStringLiteral("Titre : ") + form.LblTitre->text(),
         QStringLiteral("Titre du jeu"));
    name(form.LblIndics, form.LblIndics->text(), QStringLiteral("Consigne"));
    name(form.ZoneT3, QStringLiteral("Son et site"),
         QStringLiteral("Lecteur, volume et lien vers le site"));
    name(form.ZoneSon, QStringLiteral("Son"), QStringLiteral("Lecteur et volume"));
    form.Son->setAccessibleName(QStringLiteral("Lecteur intégré"));
    describeSwitch(form);
    name(form.Volume, QStringLiteral("Volume"),
         QStringLiteral("Pour cent ; flèches ou Page précédente et suivante pour régler"));
    name(form.LblSite, QStringLiteral("Site ") + edition::siteName(),
         QStringLiteral("Lien : ouvre ") + edition::siteAddress() +
             QStringLiteral(" dans le navigateur"));
}

void namePanels(FrmDorlo& form) {
    name(form.VScroll, QStringLiteral("Défilement vertical"),
         QStringLiteral("Fait défiler les questions vers le haut ou le bas"));
    name(form.HScroll, QStringLiteral("Défilement horizontal"),
         QStringLiteral("Fait défiler les questions vers la gauche ou la droite"));
    name(form.ZoneP1, QStringLiteral("Questions"), QStringLiteral("Les trente questions"));
    name(form.ZoneP2, QStringLiteral("Liste des questions"),
         QStringLiteral("Trois questions par rang, dix rangs"));
    for (int n = 1; n <= kQuestions; ++n) {
        const QString q = question(n);
        name(form.Shape[n], q, QStringLiteral("Extrait, réponse et résultat"));
        // The number names the panel (with the panel's own words, or both would be spoken).
        // A label of the answer box would stand for the box's name.
        name(form.No[n], q, QStringLiteral("Numéro de la question"));
        form.No[n]->setBuddy(form.Shape[n]);
        labelBy(form.Shape[n], form.No[n]);
        // A store problem is what the play button's tooltip says; it must be heard too.
        const QString problem = form.Cmd[n]->toolTip();
        name(form.Cmd[n], q + QStringLiteral(", écouter l'extrait"),
             problem.isEmpty() ? QStringLiteral("Joue l'extrait") : problem);
        name(form.Cmd[n + kQuestions], q + QStringLiteral(", arrêter l'écoute"),
             QStringLiteral("Arrête l'extrait en cours"));
        name(form.Txt[n], q + QStringLiteral(", votre réponse"),
             QStringLiteral("Entrée pour vérifier"));
        form.Retour[n]->setAccessibleDescription(QStringLiteral("Résultat de la vérification"));
    }
}

void connectSpeech(FrmDorlo& form, Voice* voice) {
    auto* score = new QShortcut(QKeySequence(kScoreKey), &form);
    QObject::connect(score, &QShortcut::activated, &form, [&form] { say(form, scoreText(form)); });
    // Connected after the window's own handlers, so these read the state they leave.
    QObject::connect(form.Son, &QAbstractButton::clicked, form.Son,
                     [&form] { describeSwitch(form); });
    // A screen reader speaks a slider's new value as a bare number: the level is said with
    // its unit instead, when the player moves the knob (every play sets the volume again).
    QObject::connect(form.Volume, &playback::VolumeKnob::volumeSet, voice, [&form, voice] {
        const int level = form.Volume->level();
        if (level != std::exchange(voice->level, level) && form.Volume->hasFocus())
            voice->say(QStringLiteral("Volume %1 %").arg(level));
    });
    for (int n = 1; n <= kQuestions; ++n)
        // Pressed comes before the click that plays, so before the player's report.
        QObject::connect(form.Cmd[n], &QAbstractButton::pressed, form.Cmd[n],
                         [voice, n] { voice->asked = n; });
    // A play, a stop or the switch stops what plays; only a clip that ends by itself is
    // announced as ended.
    const auto expectStop = [voice, &form] {
        voice->stopExpected = form.MP->playState() == playback::MediaPlayer::Playing;
    };
    // During the wait after a hand-over to the system player, the buttons and the switch do
    // nothing; that is said.
    const auto waiting = [voice, &form] {
        if (form.playback()->Timer.isActive())
            voice->say(QStringLiteral("Patientez"));
    };
    QObject::connect(form.Son, &QAbstractButton::pressed, voice, waiting);
    for (int k = 1; k <= 2 * kQuestions; ++k) {
        QObject::connect(form.Cmd[k], &QAbstractButton::pressed, voice, expectStop);
        QObject::connect(form.Cmd[k], &QAbstractButton::pressed, voice, waiting);
    }
    QObject::connect(form.Son, &QAbstractButton::pressed, voice, expectStop);
    for (int n = kQuestions + 1; n <= 2 * kQuestions; ++n) {
        QObject::connect(form.Cmd[n], &QAbstractButton::pressed, voice, [voice, &form] {
            voice->asked = 0;
            voice->stopIgnored = form.playback()->Timer.isActive();
        });
        QObject::connect(form.Cmd[n], &QAbstractButton::clicked, voice, [voice] {
            if (!voice->stopIgnored)
                voice->say(QStringLiteral("Arrêt"));
        });
    }
    // Once when a clip starts: nothing is said over the music after that. The play button of
    // the clip shows as pressed while it plays.
    QObject::connect(form.MP, &playback::MediaPlayer::PlayStateChange, voice,
                     [voice, &form](int before, int now) {
                         if (voice->playing)
                             setPressed(form.Cmd[voice->playing], false);
                         voice->playing = now == playback::MediaPlayer::Playing ? voice->asked : 0;
                         if (voice->playing)
                             setPressed(form.Cmd[voice->playing], true);
                         if (now == playback::MediaPlayer::Playing)
                             voice->say(QStringLiteral("lecture"));
                         // A stop while idle reports Stopped too: only a clip that played ends.
                         if (now == playback::MediaPlayer::Stopped &&
                             before == playback::MediaPlayer::Playing && !voice->stopExpected)
                             voice->say(QStringLiteral("Fin de l'extrait"));
                         if (now == playback::MediaPlayer::Stopped)
                             voice->stopExpected = false;
                     });
    const auto cannotPlay = [voice] {
        voice->say(QStringLiteral("lecture impossible"));
    };
    QObject::connect(form.MP, &playback::MediaPlayer::PlayFailed, voice, expectStop);
    QObject::connect(form.MP, &playback::MediaPlayer::PlayFailed, voice, cannotPlay);
    QObject::connect(form.playback(), &playback::PlaybackControl::clipUnavailable, voice,
                     cannotPlay);
    // A hand-over to the system player is heard too; a stop hands over the silent clip,
    // and its "Arrêt" is enough.
    form.playback()->openWithSystem =
        [voice, open = form.playback()->openWithSystem](const QString& path) {
            if (open)
                open(path);
            if (!AssistiveTechnology::active() || voice->asked == 0)
                return;
            playback::askForSystemPlayer(voice, [voice](bool found) {
                voice->say(found ? QStringLiteral("lecture")
                                 : QStringLiteral("aucun lecteur MP3 trouvé"));
            });
        };
}

} // namespace

QString scoreKeyName() {
    return QKeySequence(kScoreKey).toString(QKeySequence::NativeText);
}

QString outcomeText(const QString& caption) {
    return caption == QStringLiteral("?") ? QStringLiteral("Pas de réponse") : caption;
}

QString scoreText(FrmDorlo& form) {
    QString text = countText(form) + QStringLiteral(". Code de classement : ") +
                   codeText(form.LblCode1->text()) + QLatin1Char('.');
    if (const int n = focusedQuestion(form))
        text += QStringLiteral(" ") + question(n) + QStringLiteral(" : ") +
                outcomeText(form.Retour[n]->text()) + QLatin1Char('.');
    return text;
}

void say(FrmDorlo& form, const QString& text) {
    if (Voice* voice = voiceOf(form))
        voice->say(text);
}

int spokenCount(FrmDorlo& form) {
    Voice* voice = voiceOf(form);
    return voice ? voice->said : 0;
}

namespace {
// The controls a player reaches carry the outcome: no panel is announced around them.
void describeControls(FrmDorlo& form, int question, const QString& outcome) {
    form.Txt[question]->setAccessibleName(
        QStringLiteral("Question %1, votre réponse, %2").arg(question).arg(outcome));
    form.Cmd[question]->setAccessibleName(
        QStringLiteral("Question %1, %2, écouter l'extrait").arg(question).arg(outcome));
}
} // namespace

void describeCheck(FrmDorlo& form, int question) {
    QLabel* result = form.Retour[question];
    const QString outcome = outcomeText(result->text());
    result->setAccessibleName(
        QStringLiteral("Question %1, résultat : %2").arg(question).arg(outcome));
    // Not before they are named and exposed: a name set makes Qt's own interface.
    if (!form.Txt[question]->accessibleName().isEmpty())
        describeControls(form, question, outcome);
    // The values are in the names, where a screen reader reads them without asking.
    const QString count = QStringLiteral("Bonnes réponses : ") + countText(form);
    if (form.LblNbR1->accessibleName() != count)
        form.LblNbR1->setAccessibleName(count);
    const QString code = QStringLiteral("Code de classement : ") + codeText(form.LblCode1->text());
    if (form.LblCode1->accessibleName() != code)
        form.LblCode1->setAccessibleName(code);

    Voice* voice = voiceOf(form);
    if (!voice)
        return; // still starting: nothing is spoken
    const int found = form.LblNbR1->text().toInt();
    const QString checked = outcome + QChar(0) + form.Txt[question]->text();
    if (checked == voice->lastChecked[question] && found == voice->lastCount)
        return;
    QString text = outcome + QLatin1Char('.');
    if (found != voice->lastCount)
        text += QLatin1Char(' ') + countText(form) + QLatin1Char('.');
    voice->lastChecked[question] = checked;
    voice->lastCount = found;
    voice->say(text);
}

void nameControls(FrmDorlo& form) {
    installFactory();
    exposeRoles(form);
    nameHeader(form);
    namePanels(form);
    for (int n = 1; n <= kQuestions; ++n)
        describeCheck(form, n);
    auto* voice = new Voice(form);
    for (int n = 1; n <= kQuestions; ++n)
        voice->lastChecked[n] =
            outcomeText(form.Retour[n]->text()) + QChar(0) + form.Txt[n]->text();
    voice->lastCount = form.LblNbR1->text().toInt();
    voice->level = form.Volume->level();
    connectSpeech(form, voice);
}

} // namespace window::accessibility
