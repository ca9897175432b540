// The main window's handlers: loading and saving the answers, checking them, typing, and
// keeping the layout in step with the window's size. Its building is in frm_dorlo_build.cpp.
#include "window/frm_dorlo.h"

#include "data/edition.h"
#include "engine/check.h"
#include "layout/form_layout.h"
#include "layout/scrolling.h"
#include "layout/wheel_ctl.h"
#include "playback/excerpt_files.h"
#include "playback/media_player.h"
#include "playback/playback_control.h"
#include "window/accessibility.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>

#include <chrono>

namespace window {
namespace {

// Code points, so that a character outside the 16-bit plane is never cut in two.
qsizetype characterCount(const QString& s) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < s.size(); ++i, ++n)
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
    return n;
}

// The character at code-point position k (0-based).
QString characterAt(const QString& s, qsizetype k) {
    qsizetype i = 0;
    for (qsizetype n = 0; n < k && i < s.size(); ++n)
        i += (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ? 2 : 1;
    if (i >= s.size())
        return {};
    const bool pair = s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate();
    return s.mid(i, pair ? 2 : 1);
}

} // namespace

ProgramSettings ProgramSettings::current() {
    ProgramSettings s;
    s.folder = QCoreApplication::applicationDirPath();
    s.executableName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    s.fallbackFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    s.clock = [] {
        using namespace std::chrono;
        return qint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    return s;
}

void FrmDorlo::Form_Load() {
    // A fresh game is eligible until the saved answers or a check say otherwise.
    Invalide = false;
    // The excerpt start table needs no filling: it is fixed data of the edition
    // (data/clip_table.h). The answers and codes come out of the hidden record labels.
    std::array<QString, engine::kRecordSlots> captions;
    for (int i = 0; i < engine::kRecordSlots; ++i)
        captions[i] = fr[i]->text();
    tables = engine::unpackRecords(captions);
    // The saved answers, and the not-eligible mark they may carry, from the last session.
    const SavedAnswers saved = answersFile_.load();
    if (saved.invalide)
        Invalide = true;
    // Each answer is restored and checked, which also brings the count and the code up to
    // date. The remembered text first: a box's text may otherwise grow by only one
    // character at a time (Txt_Change), and the saved answer must be taken whole.
    for (int n = 1; n <= kQuestions; ++n) {
        Txt[n]->Tag = saved.answers[n];
        Txt[n]->setText(Txt[n]->Tag);
        Verifie(n);
    }
    // The store beside the program, the temporary files where they can be written; a play
    // button says why it cannot play when the store is missing or unreadable.
    files_->CheminDat = playback::storePath(settings_.folder);
    files_->DossierTemp = playback::temporaryFolder(settings_.folder);
    const QString problem = files_->storeProblem();
    if (!problem.isEmpty())
        for (int n = 1; n <= kQuestions; ++n)
            Cmd[n]->setToolTip(problem);
    // The first excerpt goes to the first temporary name, and to the embedded player.
    files_->nameFlag = false;
    playback_->LecteurInterne = true;
    // From now on the wheel scrolls the panels wherever the pointer is over the window.
    Wheel->hook(this);
}

bool FrmDorlo::saveAnswers() {
    std::array<QString, kAnswers + 1> texts;
    bool any = false;
    for (int n = 1; n <= kQuestions; ++n) {
        texts[n] = Txt[n]->text();
        any = any || !texts[n].isEmpty();
    }
    if (!any)
        return true; // the file is left as it is
    return answersFile_.save(formatSavedAnswers(texts, Invalide));
}

void FrmDorlo::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    MP->Stop();
    files_->deleteCurrent();
    saveAnswers();
    Wheel->unHook();
}

void FrmDorlo::Verifie(int question) {
    AnswerBox* box = Txt[question];
    const engine::CheckResult r =
        engine::checkAnswer(edition::tables(), tables.reponses, question, box->text());
    // The remembered text (Tag) before the shown one: a box's text may otherwise grow by only
    // one character at a time (Txt_Change), and the checked text must be taken whole.
    box->Tag = r.trimmed;
    if (box->text() != box->Tag)
        box->setText(box->Tag);
    if (r.plain) {
        box->Tag = *r.plain;
        if (box->text() != box->Tag)
            box->setText(box->Tag);
    }
    // Texts set only when they change: each setting is announced as a new name.
    QLabel* label = Retour[question];
    if (label->text() != r.caption)
        label->setText(r.caption);
    setBackColor(label, r.backColor);
    if (label->font().bold() != r.bold) {
        QFont f = label->font();
        f.setBold(r.bold);
        label->setFont(f);
    }
    if (r.setInvalide)
        Invalide = true;

    int count = 0;
    for (int n = 1; n <= kQuestions; ++n)
        count += Retour[n]->font().bold() ? 1 : 0;
    if (LblNbR1->text() != QString::number(count))
        LblNbR1->setText(QString::number(count));

    std::array<QString, kQuestions + 1> texts;
    for (int n = 1; n <= kQuestions; ++n)
        texts[n] = Txt[n]->text();
    const engine::RankingCode code =
        engine::rankingCode(edition::tables(), tables.codes, count, Invalide, texts);
    if (code.tag)
        LblCode1Tag = *code.tag;
    if (LblCode1->text() != code.caption)
        LblCode1->setText(code.caption);
    accessibility::describeCheck(*this, question);
}

void FrmDorlo::Txt_KeyPress(int index, int& keyAscii) {
    if (keyAscii == 13) {
        keyAscii = 0;
        Verifie(index);
    }
    // Keys are timed by when they were pressed, where the window system says so: under a
    // screen reader they reach the box in bursts, well after.
    const std::optional<qint64> pressed = Txt[index]->pressedAt();
    const qint64 gap = pressed && DerniereFrappe
                           ? std::int32_t(std::uint32_t(*pressed) - std::uint32_t(*DerniereFrappe))
                           : clock() - DerniereTouche;
    if (gap < 31)
        keyAscii = 0;
    DerniereTouche = clock();
    DerniereFrappe = pressed;
}

void FrmDorlo::Txt_Change(int index) {
    AnswerBox* box = Txt[index];
    const QString text = box->text();
    const qsizetype oldLength = characterCount(box->Tag);
    if (characterCount(text) > oldLength + 1)
        box->setText(box->Tag + characterAt(text, oldLength)); // runs Txt_Change again
    box->Tag = box->text();
}

void FrmDorlo::Txt_LostFocus(int index) {
    Verifie(index);
}

void FrmDorlo::Txt_GotFocus(int index) {
    scrolling_->Txt_GotFocus(index);
}

void FrmDorlo::LblSite_Click() {
    if (openUrl)
        openUrl(QUrl(edition::siteAddress()));
}

void FrmDorlo::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void FrmDorlo::runLayout() {
    layout::Form_Resize(controls_);
}

void FrmDorlo::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    runLayout();
}

void FrmDorlo::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    runLayout();
}

void FrmDorlo::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        runLayout();
}

} // namespace window
