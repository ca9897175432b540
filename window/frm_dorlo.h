#pragma once
// The game's one window: header, thirty question panels, and the hidden parts.
#include "engine/records.h"
#include "layout/form_controls.h"
#include "playback/playback_control.h"
#include "window/answer_box.h"
#include "window/answers_file.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QFrame;
class QScrollBar;
class QToolButton;
class QUrl;

namespace playback {
class ExcerptFiles;
} // namespace playback
namespace layout {
class Scrolling;
class WheelCtl;
} // namespace layout

namespace window {

using engine::kQuestions; // one panel, one answer box, two buttons per question

// Where the program lies and how the window reads its clock; tests point it elsewhere.
struct ProgramSettings {
    QString folder;                // the executable's folder
    QString executableName;        // its file name, which names the saved-answers file
    QString fallbackFolder;        // per-user data folder, where the executable's cannot be written
    std::function<qint64()> clock; // monotonic milliseconds
    static ProgramSettings current();
};

// The controls the layout moves (the panels, parts of the header) and those the play/stop
// logic drives (ZoneT1, the switch, the knob, the player) are declared once, in the two bases.
class FrmDorlo : public QWidget,
                 public layout::FormControlsOf<QLabel, AnswerBox, QToolButton>,
                 public playback::PlaybackControl::Controls {
    Q_OBJECT
public:
    explicit FrmDorlo(ProgramSettings settings = ProgramSettings::current(),
                      QWidget* parent = nullptr);
    ~FrmDorlo() override;

    // Header.
    QLabel* LblNbR1 = nullptr;
    QLabel* LblNbR2 = nullptr;
    QFrame* LineT1 = nullptr;
    QLabel* LblCode0 = nullptr;
    QLabel* LblCode1 = nullptr;
    QString LblCode1Tag; // the ranking code's working string
    QWidget* ZoneSon = nullptr;
    QFrame* LineT3 = nullptr;
    QLabel* LblSite = nullptr;

    // Hidden parts.
    std::array<QLabel*, engine::kRecordSlots> fr{};
    layout::WheelCtl* Wheel = nullptr;
    playback::PlaybackControl* playback() const { return playback_.get(); }
    playback::ExcerptFiles* excerptFiles() const { return files_.get(); }

    // Form-level state.
    bool Invalide = false;
    engine::AnswerTables tables;
    qint64 DerniereTouche = 0;
    std::optional<qint64> DerniereFrappe; // the window system's time of that key, if known
    std::function<qint64()> clock;

    const AnswersFile& answersFile() const { return answersFile_; }
    const layout::FormControls& formControls() const { return controls_; }

    // Opens the site address; replaceable so that tests open nothing.
    std::function<void(const QUrl&)> openUrl;

    // Handlers and procedures.
    void Form_Load();
    void Form_Unload(); // runs once, however the window ends
    bool unloaded() const { return unloaded_; }
    bool saveAnswers(); // the saved-answers write of Form_Unload, alone
    void Verifie(int question);
    void Txt_KeyPress(int index, int& keyAscii);
    void Txt_Change(int index);
    void Txt_LostFocus(int index);
    void Txt_GotFocus(int index);
    void LblSite_Click();

    // Colours as 0x00BBGGRR (red in the lowest byte), read back from a label.
    static std::uint32_t backColor(const QWidget* w);
    static void setBackColor(QWidget* w, std::uint32_t bgr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Fonts;
    void buildHeader(const Fonts& fonts);
    void buildPanels(const Fonts& fonts);
    void buildHidden();
    void buildPlayback();
    void runLayout();

    ProgramSettings settings_;
    AnswersFile answersFile_;
    bool unloaded_ = false;
    std::unique_ptr<playback::ExcerptFiles> files_;
    std::unique_ptr<playback::PlaybackControl> playback_;
    layout::FormControls controls_;
    layout::Scrolling* scrolling_ = nullptr;
};

} // namespace window
