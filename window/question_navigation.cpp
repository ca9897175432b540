#include "window/question_navigation.h"

#include "playback/volume.h"
#include "window/accessibility.h"
#include "window/assistive_technology.h"
#include "window/frm_dorlo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

namespace window::accessibility {
namespace {

// The digit a key types, on any keyboard map: the French one types the digits with Shift,
// and its unshifted top row is taken for them here.
int digitOf(const QKeyEvent& key) {
    const QString text = key.text();
    if (text.size() != 1)
        return -1;
    if (text[0].isDigit())
        return text[0].digitValue();
    static const QString topRow = QStringLiteral("à&é\"'(-è_ç");
    return int(topRow.indexOf(text[0]));
}

class QuestionKeys : public QObject {
public:
    explicit QuestionKeys(FrmDorlo& form) : QObject(&form), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !AssistiveTechnology::active())
            return false;
        QWidget* focus = QApplication::focusWidget();
        // Once per key: where it is delivered first, inside this window.
        if (watched != (focus ? focus : static_cast<QObject*>(&form_)) ||
            (focus && focus->window() != &form_))
            return false;
        return handle(*static_cast<QKeyEvent*>(event), focus);
    }

private:
    bool handle(const QKeyEvent& key, QWidget* focus) {
        const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
        const int current = questionOf(focus);
        if (goingTo_)
            return goTo(key);
        if (mods == Qt::NoModifier && key.key() == Qt::Key_F1) {
            say(form_, helpText());
            return true;
        }
        // The excerpt from wherever the question is, the answer box included: the focus stays.
        if (mods == Qt::NoModifier && (key.key() == Qt::Key_F3 || key.key() == Qt::Key_F4)) {
            if (current)
                form_.Cmd[key.key() == Qt::Key_F3 ? current : current + kQuestions]->click();
            else
                say(form_, QStringLiteral("Choisissez d'abord une question"));
            return true;
        }
        if (mods == Qt::ControlModifier && key.key() == Qt::Key_G) {
            goingTo_ = true;
            number_ = 0;
            say(form_, QStringLiteral("Aller à la question : son numéro ?"));
            return true;
        }
        if (mods == Qt::ControlModifier && key.key() == Qt::Key_Home)
            return reach(1);
        if (mods == Qt::ControlModifier && key.key() == Qt::Key_End)
            return reach(kQuestions);
        // The knob and the scroll bars keep their own paging.
        const bool pages = !qobject_cast<playback::VolumeKnob*>(focus) &&
                           !qobject_cast<QScrollBar*>(focus) && mods == Qt::NoModifier;
        if (pages && key.key() == Qt::Key_PageDown) {
            if (current == kQuestions)
                say(form_, QStringLiteral("Dernière question"));
            return current == kQuestions || reach(current + 1);
        }
        if (pages && key.key() == Qt::Key_PageUp) {
            if (current == 1)
                say(form_, QStringLiteral("Première question"));
            return current == 1 || reach(current ? current - 1 : kQuestions);
        }
        if (mods == Qt::NoModifier && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter))
            if (auto* box = qobject_cast<AnswerBox*>(focus))
                afterCheck(box->index());
        return false;
    }

    int questionOf(QWidget* focus) const {
        for (int n = 1; n <= kQuestions; ++n)
            if (focus && (focus == form_.Txt[n] || focus == form_.Cmd[n] ||
                          focus == form_.Cmd[n + kQuestions]))
                return n;
        return 0;
    }

    // The answer box of question n; already there, its name is said again, since no focus
    // change will say it.
    bool reach(int n) {
        AnswerBox* box = form_.Txt[n];
        if (box->hasFocus())
            say(form_, box->accessibleName());
        else
            box->setFocus(Qt::OtherFocusReason);
        return true;
    }

    // Ctrl+G, then the number: two digits, or one that no second could follow (4 to 9, or
    // 3 and 0), or one and Enter. Escape gives up; any other key gives up and does its own.
    bool goTo(const QKeyEvent& key) {
        if (key.key() == Qt::Key_Escape) {
            goingTo_ = false;
            say(form_, QStringLiteral("Annulé"));
            return true;
        }
        if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
            return finishGoTo();
        const int digit = digitOf(key);
        if (digit < 0) {
            if (key.text().isEmpty() && key.modifiers() != Qt::NoModifier)
                return false; // a modifier alone, on its way to a digit
            goingTo_ = false;
            return false;
        }
        number_ = number_ * 10 + digit;
        if (number_ >= 10 || number_ * 10 > kQuestions)
            return finishGoTo();
        return true;
    }

    bool finishGoTo() {
        goingTo_ = false;
        if (number_ < 1 || number_ > kQuestions) {
            say(form_,
                QStringLiteral("Pas de question %1 : de 1 à %2").arg(number_).arg(kQuestions));
            return true;
        }
        return reach(number_);
    }

    // Enter in an answer box checks it; when that check says nothing (nothing changed since
    // the last one), this says why.
    void afterCheck(int n) {
        const int before = spokenCount(form_);
        QTimer::singleShot(0, this, [this, n, before] {
            if (spokenCount(form_) != before)
                return;
            if (form_.Txt[n]->text().isEmpty())
                say(form_, QStringLiteral("Tapez un titre"));
            else if (form_.Retour[n]->font().bold())
                say(form_, QStringLiteral("Déjà trouvé"));
            else
                say(form_, outcomeText(form_.Retour[n]->text()) + QLatin1Char('.'));
        });
    }

    FrmDorlo& form_;
    bool goingTo_ = false;
    int number_ = 0;
};

} // namespace

QString navigationHint() {
    return QStringLiteral("Page suivante et Page précédente : réponse suivante et précédente. "
                          "F3 : écouter. F1 : aide.");
}

QString helpText() {
    return QStringLiteral(
               "Aide. F3 écoute l'extrait de la question, F4 l'arrête. Tapez le titre, "
               "Entrée vérifie. Page suivante, "
               "Page précédente : réponse suivante, précédente. Contrôle+Début, Contrôle+Fin : "
               "première, dernière. Contrôle+G puis le numéro : une question. ") +
           scoreKeyName() +
           QStringLiteral(" : score et code. Après la question 30, Tab : lecteur intégré, "
                          "puis volume. F1 : cette aide.");
}

void installQuestionNavigation(FrmDorlo& form) {
    qApp->installEventFilter(new QuestionKeys(form));
}

} // namespace window::accessibility
