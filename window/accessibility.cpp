#include "window/accessibility.h"

#include "data/edition.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/volume.h"
#include "window/frm_dorlo.h"

#include <QFrame>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

#include <cmath>

namespace window::accessibility {
namespace {

void name(QWidget* w, const QString& name, const QString& description) {
    w->setAccessibleName(name);
    w->setAccessibleDescription(description);
}

QString question(int n) {
    return QStringLiteral("Question %1").arg(n);
}

void describeSwitch(FrmDorlo& form) {
    const bool inside = form.playback()->LecteurInterne;
    form.Son->setAccessibleName(inside ? QStringLiteral("Lecteur intégré : activé")
                                       : QStringLiteral("Lecteur intégré : désactivé"));
}

// The knob's travel as a share of the gauge, which is how the player sees it.
void describeVolume(FrmDorlo& form) {
    const double share = (form.Volume->leftTwips() - playback::kKnobMin) /
                         double(playback::kKnobMax - playback::kKnobMin);
    form.Volume->setAccessibleDescription(
        QStringLiteral("Niveau : %1 %").arg(std::lround(100 * std::clamp(share, 0.0, 1.0))));
}

void nameHeader(FrmDorlo& form) {
    name(&form, edition::title(), form.LblIndics->text());
    name(form.ZoneT0, QStringLiteral("En-tête"), QStringLiteral("Score, titre, son et site"));
    name(form.ZoneT1, QStringLiteral("Score"),
         QStringLiteral("Nombre de bonnes réponses et code de classement"));
    name(form.LblNbR2, QStringLiteral("sur 30"), QStringLiteral("Nombre de questions"));
    name(form.LineT1, QStringLiteral("Séparateur"), QStringLiteral("Trait horizontal"));
    name(form.LblCode0, form.LblCode0->text(), form.LblCode0->toolTip());
    form.LblCode1->setAccessibleName(QStringLiteral("Code de classement"));
    name(form.ZoneT2, QStringLiteral("Titre"), QStringLiteral("Titre du jeu et consigne"));
    name(form.LblTitre, edition::title(), QStringLiteral("Titre du jeu"));
    name(form.LblIndics, form.LblIndics->text(), QStringLiteral("Consigne"));
    name(form.ZoneT3, QStringLiteral("Son et site"),
         QStringLiteral("Lecteur, volume et lien vers le site"));
    name(form.ZoneSon, QStringLiteral("Son"), QStringLiteral("Lecteur et volume"));
    for (QLabel* l : form.ZoneSon->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (l != form.Volume)
            name(l, QStringLiteral("Jauge de volume"),
                 QStringLiteral("Le volume croît de gauche à droite"));
    form.Son->setAccessibleDescription(form.Son->toolTip());
    describeSwitch(form);
    form.Volume->setAccessibleName(QStringLiteral("Volume"));
    describeVolume(form);
    name(form.LineT3, QStringLiteral("Séparateur"), QStringLiteral("Trait horizontal"));
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
    for (int n = 1; n <= 30; ++n) {
        const QString q = question(n);
        name(form.Shape[n], q, QStringLiteral("Extrait, réponse et résultat"));
        name(form.No[n], q, QStringLiteral("Numéro de la question"));
        // A store problem is what the play button's tooltip says; it must be heard too.
        const QString problem = form.Cmd[n]->toolTip();
        name(form.Cmd[n], q + QStringLiteral(" : écouter l'extrait"),
             problem.isEmpty() ? QStringLiteral("Joue l'extrait de la question %1").arg(n)
                               : problem);
        name(form.Cmd[n + 30], q + QStringLiteral(" : arrêter l'écoute"),
             QStringLiteral("Arrête l'extrait en cours"));
        name(form.Txt[n], q + QStringLiteral(" : réponse"),
             QStringLiteral("Titre de l'œuvre ; Entrée pour vérifier"));
        form.Retour[n]->setAccessibleName(q + QStringLiteral(" : résultat"));
        form.Retour[n]->setAccessibleDescription(outcomeText(form.Retour[n]->text()));
    }
}

// The switch and the site link follow the last panel; the header block that takes the
// focus after a switch click sits just before the switch, so that Tab goes on from there.
void completeKeyboardOrder(FrmDorlo& form) {
    form.LblSite->setFocusPolicy(Qt::TabFocus);
    QWidget::setTabOrder(form.Txt[30], form.ZoneT1);
    QWidget::setTabOrder(form.ZoneT1, form.Son);
    QWidget::setTabOrder(form.Son, form.LblSite);
}

} // namespace

QString outcomeText(const QString& caption) {
    return caption == QStringLiteral("?") ? QStringLiteral("Pas de réponse") : caption;
}

void describeCheck(FrmDorlo& form, int question) {
    QLabel* result = form.Retour[question];
    result->setAccessibleDescription(outcomeText(result->text()));
    form.LblNbR1->setAccessibleName(QStringLiteral("Nombre de bonnes réponses"));
    form.LblNbR1->setAccessibleDescription(QStringLiteral("%1 sur 30").arg(form.LblNbR1->text()));
    const QString code = form.LblCode1->text();
    form.LblCode1->setAccessibleDescription(
        code.isEmpty() || code == QStringLiteral("- - - - - -")
            ? QStringLiteral("Aucun code : aucune bonne réponse")
            : code);
}

void nameControls(FrmDorlo& form) {
    nameHeader(form);
    namePanels(form);
    for (int n = 1; n <= 30; ++n)
        describeCheck(form, n);
    completeKeyboardOrder(form);
    // Connected after the window's own handlers, so these read the state they leave.
    QObject::connect(form.Son, &QAbstractButton::clicked, &form, [&form] { describeSwitch(form); });
    QObject::connect(form.Volume, &playback::VolumeKnob::volumeSet, &form,
                     [&form] { describeVolume(form); });
}

} // namespace window::accessibility
