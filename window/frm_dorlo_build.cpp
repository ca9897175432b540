// Building the main window: its fonts, its controls in the design's places and the playback
// wiring. What the window does once built is in frm_dorlo.cpp.
#include "window/frm_dorlo.h"

#include "data/edition.h"
#include "engine/check.h"
#include "layout/form_layout.h"
#include "layout/scrolling.h"
#include "layout/twips.h"
#include "layout/wheel_ctl.h"
#include "playback/excerpt_files.h"
#include "playback/media_player.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/volume.h"
#include "window/accessibility.h"
#include "window/click_label.h"
#include "window/design.h"
#include "window/key_press_times.h"
#include "window/keyboard.h"
#include "window/pictures.h"
#include "window/question_navigation.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include <QUrl>

#include <cmath>

namespace window {
namespace {

using layout::placeTwips;

void placeTwips(QWidget* w, const design::Place& p) {
    layout::placeTwips(w, p.left, p.top, p.width, p.height);
}

const QColor kHeader(128, 128, 255);

// The first of the design's family and its stand-ins that is installed. A font asked for by
// a family that is not installed is searched for, and its stand-ins' fallbacks queried from
// fontconfig, each time a font of that family is resolved.
QString installedFamily(std::initializer_list<const char*> families) {
    const QStringList installed = QFontDatabase::families();
    for (const char* family : families)
        if (installed.contains(QLatin1String(family), Qt::CaseInsensitive))
            return QLatin1String(family);
    return QLatin1String(*families.begin());
}

// The designed face is narrow; the condensed cut of its stand-in keeps captions such as
// "Code :" within the labels drawn for them.
QFont sansSerif(const QString& family, double points, bool bold = false) {
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setStretch(QFont::SemiCondensed);
    return f;
}

// The heavy face is the family itself: bold or not, it is drawn black.
QFont arialBlack(const QString& family, double points, bool italic) {
    QFont f(family);
    f.setPointSizeF(points);
    f.setWeight(QFont::Black);
    f.setItalic(italic);
    return f;
}

// The designed heavy face sits its capitals about 0.385 em below the top of the line; a
// substitute with less room above its capitals is moved down to the same place, so that a
// label placed above its container's edge (the title) is not cut off.
void keepCapLine(QLabel* label) {
    const QFontMetricsF fm(label->font());
    const double wanted = 0.385 * label->font().pointSizeF() * label->logicalDpiY() / 72.0;
    const int shift = int(std::lround(wanted - (fm.ascent() - fm.capHeight())));
    if (shift > 0)
        label->setContentsMargins(0, shift, 0, 0);
}

// The site name is edition data: when it is wider than the label, the label grows about
// its centre up to the width of its block, and only then does the font shrink, by half
// points, to the largest size that fits.
void fitSiteLabel(QLabel* label, int available) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 2;
    if (needed <= label->width())
        return;
    const QRect design = label->geometry();
    const int width = std::min(needed, available);
    label->setGeometry(design.center().x() - width / 2, design.y(), width, design.height());
    if (needed <= width)
        return;
    QFont f = label->font();
    const auto fits = [&](double points) {
        f.setPointSizeF(points);
        return QFontMetrics(f).horizontalAdvance(label->text()) + 2 <= width;
    };
    // Every size measured loads a font. Text widths grow about in proportion to the size, so
    // the search starts next to the answer rather than at the top.
    const double start = f.pointSizeF();
    const double steps = std::ceil(2 * start * (1 - double(width - 2) / (needed - 2)));
    double points = std::max(7.0, start - 0.5 * std::max(1.0, steps));
    if (fits(points)) {
        while (points + 0.5 < start && fits(points + 0.5))
            points += 0.5;
    } else {
        while (points > 7) {
            points -= 0.5;
            if (fits(points))
                break;
        }
    }
    f.setPointSizeF(points);
    label->setFont(f);
}

QColor fromBgr(std::uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void setForeground(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}

void setBackground(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

template <typename Label = QLabel>
Label* makeLabel(QWidget* parent, const QString& caption, const QFont& font, Qt::Alignment align,
                 const design::Place& place) {
    auto* label = new Label(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    if (font != parent->font()) // an inherited font is resolved once for all its labels
        label->setFont(font);
    label->setAlignment(align | Qt::AlignTop);
    label->setWordWrap(true);
    placeTwips(label, place);
    return label;
}

QFrame* makeZone(QWidget* parent, const design::Place& place) {
    auto* zone = new QFrame(parent);
    placeTwips(zone, place);
    return zone;
}

// A horizontal line from (0, y) to (width, y), one pixel thick.
QFrame* makeLine(QWidget* parent, double y, double width) {
    auto* line = new QFrame(parent);
    setBackground(line, Qt::black);
    line->setGeometry(0, layout::toPixels(y), layout::toPixels(width), 1);
    return line;
}

AnswersFile answersFileFor(const ProgramSettings& s) {
    const QString name = answersFileName(s.executableName);
    return AnswersFile(s.folder + QLatin1Char('/') + name,
                       s.fallbackFolder.isEmpty() ? QString()
                                                  : s.fallbackFolder + QLatin1Char('/') + name);
}

} // namespace

// Every font of the window, made once.
struct FrmDorlo::Fonts {
    QFont sans, sansBold, site, heavy, title;
    Fonts() {
        const QString plain = installedFamily({"MS Sans Serif", "DejaVu Sans", "Lato"});
        const QString heavyFamily = installedFamily({"Arial Black", "Lato Black", "Lato"});
        sans = sansSerif(plain, 8.25);
        sansBold = sansSerif(plain, 8.25, true);
        site = sansSerif(plain, 12);
        site.setUnderline(true);
        heavy = arialBlack(heavyFamily, 20.25, false);
        title = arialBlack(heavyFamily, 26.25, true);
    }
};

FrmDorlo::FrmDorlo(ProgramSettings settings, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)), answersFile_(answersFileFor(settings_)) {
    clock = settings_.clock ? settings_.clock : ProgramSettings::current().clock;
    openUrl = [](const QUrl& url) {
        QDesktopServices::openUrl(url);
    };
    setWindowTitle(edition::title());
    setWindowIcon(pictures::windowIcon());
    const Fonts fonts;
    // The design's font of every control that sets none, the application's too: a line edit
    // lays its text out in that font before it takes its own.
    QApplication::setFont(fonts.sans);
    setFont(fonts.sans);
    resize(layout::toPixels(13410), layout::toPixels(10545));

    buildHeader(fonts);
    buildPanels(fonts);
    buildHidden();
    buildPlayback();
    keyboard::setUp(*this);

    form = this;
    controls_ = layout::FormControls(*this);
    scrolling_ = new layout::Scrolling(controls_, this);
    connect(Wheel, &layout::WheelCtl::WheelRotate, scrolling_,
            &layout::Scrolling::Wheel_WheelRotate);

    Form_Load();
    accessibility::nameControls(*this);
    accessibility::installQuestionNavigation(*this);
    KeyPressTimes::install();
}

FrmDorlo::~FrmDorlo() {
    Form_Unload();
}

void FrmDorlo::buildHeader(const Fonts& fonts) {
    ZoneT0 = makeZone(this, design::ZoneT0);

    ZoneT1 = makeZone(ZoneT0, design::ZoneT1);
    setBackground(ZoneT1, kHeader);
    ZoneT1->setFocusPolicy(Qt::ClickFocus);
    const QColor buttonText = palette().color(QPalette::ButtonText);
    LblNbR1 =
        makeLabel(ZoneT1, QStringLiteral("30"), fonts.heavy, Qt::AlignHCenter, design::LblNbR1);
    setForeground(LblNbR1, Qt::black);
    setBackground(LblNbR1, kHeader);
    LblNbR2 = makeLabel(ZoneT1, QStringLiteral("/ %1").arg(kQuestions), fonts.heavy, Qt::AlignLeft,
                        design::LblNbR2);
    setForeground(LblNbR2, buttonText);
    setBackground(LblNbR2, kHeader);
    LineT1 = makeLine(ZoneT1, design::kSeparatorTop, design::ZoneT1.width);
    const QString codeTip = QString::fromUtf8(design::kCodeTip) + edition::siteName();
    LblCode0 =
        makeLabel(ZoneT1, QStringLiteral("Code :"), fonts.sans, Qt::AlignRight, design::LblCode0);
    LblCode1 = makeLabel(ZoneT1, QStringLiteral("MMMMMM"), fonts.sansBold, Qt::AlignLeft,
                         design::LblCode1);
    for (QLabel* l : {LblCode0, LblCode1}) {
        setForeground(l, buttonText);
        setBackground(l, kHeader);
        l->setToolTip(codeTip);
        l->setWordWrap(false);
    }
    // Left-aligned, the code would start on the label's very edge: one pixel in, so that
    // its first character is drawn whole.
    LblCode1->setContentsMargins(1, 0, 0, 0);

    ZoneT2 = makeZone(ZoneT0, design::ZoneT2);
    setBackground(ZoneT2, kHeader);
    LblTitre = makeLabel(ZoneT2, QStringLiteral("DORLO ZIDODUDER 04"), fonts.title,
                         Qt::AlignHCenter, design::LblTitre);
    setForeground(LblTitre, QColor(0, 0, 128));
    for (QLabel* l : {LblNbR1, LblNbR2, LblTitre})
        keepCapLine(l);
    LblIndics = makeLabel(
        ZoneT2, QStringLiteral("Retrouvez les titres des oeuvres comportant ces extraits"),
        fonts.sans, Qt::AlignHCenter, design::LblIndics);
    setForeground(LblIndics, buttonText);

    ZoneT3 = makeZone(ZoneT0, design::ZoneT3);
    setBackground(ZoneT3, kHeader);
    auto* son = makeZone(ZoneT3, design::ZoneSon);
    ZoneSon = son;
    son->setFrameShape(QFrame::Panel);
    son->setFrameShadow(QFrame::Sunken);
    setBackground(son, palette().color(QPalette::Window));
    auto* gauge = new QLabel(son);
    gauge->setPixmap(pictures::volumeGauge());
    gauge->setGeometry(1, 1, 77, 26);
    gauge->lower();
    LineT3 = makeLine(ZoneT3, design::kSeparatorTop, design::ZoneT3.width);
    auto* site = makeLabel<ClickLabel>(ZoneT3, edition::siteName(), fonts.site, Qt::AlignHCenter,
                                       design::LblSite);
    site->setWordWrap(false);
    fitSiteLabel(site, ZoneT3->width() - 8);
    setForeground(site, QColor(0, 0, 255));
    setBackground(site, kHeader);
    site->setCursor(pictures::pointingHand());
    site->setToolTip(QString::fromUtf8(design::kSiteTip) + edition::siteAddress());
    site->clicked = [this] {
        LblSite_Click();
    };
    LblSite = site;

    for (QWidget* zone : {ZoneT1, ZoneT3}) {
        auto* frame = static_cast<QFrame*>(zone);
        frame->setFrameShape(QFrame::Box);
        frame->setLineWidth(1);
        QPalette pal = frame->palette();
        pal.setColor(QPalette::WindowText, QColor(64, 64, 160));
        frame->setPalette(pal);
    }
}

void FrmDorlo::buildPanels(const Fonts& fonts) {
    VScroll = new QScrollBar(Qt::Vertical, this);
    placeTwips(VScroll, design::VScroll);
    VScroll->setRange(0, 0);
    VScroll->setSingleStep(15);
    VScroll->setPageStep(8520);
    HScroll = new QScrollBar(Qt::Horizontal, this);
    placeTwips(HScroll, design::HScroll);
    HScroll->setRange(0, 0);
    HScroll->setSingleStep(15);
    HScroll->setPageStep(12825);
    // A click on a bar takes the focus, so that the answer being typed is checked as the box
    // loses it; Tab still passes the bars by.
    for (QScrollBar* bar : {VScroll, HScroll})
        bar->setFocusPolicy(Qt::ClickFocus);

    ZoneP1 = makeZone(this, design::ZoneP1);
    ZoneP2 = makeZone(ZoneP1, design::ZoneP2);

    const QIcon playIcon(pictures::play()), stopIcon(pictures::stop());
    for (int n = 1; n <= kQuestions; ++n) {
        const design::Place& s = design::Shape;
        auto* panel =
            makeZone(ZoneP2, {s.left + (s.width - 15) * ((n - 1) % 3),
                              s.top + (s.height - 15) * ((n - 1) / 3), s.width, s.height});
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        Shape[n] = panel;

        No[n] = makeLabel(panel, QString::number(n) + QLatin1Char('.'), fonts.sansBold,
                          Qt::AlignRight, design::No);
        No[n]->setWordWrap(false);

        for (int k : {n, n + kQuestions}) {
            auto* button = new QToolButton(panel);
            button->setIcon(k <= kQuestions ? playIcon : stopIcon);
            button->setIconSize(QSize(14, 13));
            button->setFocusPolicy(Qt::StrongFocus);
            placeTwips(button, k <= kQuestions ? design::Play : design::Stop);
            Cmd[k] = button;
        }

        auto* box = new AnswerBox(n, panel);
        placeTwips(box, design::Txt);
        box->keyPressHandler = [this](int index, int& keyAscii) {
            Txt_KeyPress(index, keyAscii);
        };
        box->gotFocusHandler = [this](int index) {
            Txt_GotFocus(index);
        };
        box->lostFocusHandler = [this](int index) {
            Txt_LostFocus(index);
        };
        // The box itself as the context: a connection to another widget would tell assistive
        // technologies that the box controls it.
        connect(box, &QLineEdit::textChanged, box, [this, n] { Txt_Change(n); });
        Txt[n] = box;

        // Centred across only, its caption at the top like every other label's.
        auto* result =
            makeLabel(panel, QStringLiteral("?"), fonts.sans, Qt::AlignHCenter, design::Retour);
        result->setWordWrap(false);
        result->setFrameShape(QFrame::Box);
        result->setLineWidth(1);
        // A framed label indents its text by half an "x" from the edge it is aligned to, here
        // the top: that pushed the descenders onto the bottom line. The caption starts right
        // under the frame instead, which leaves room for them.
        result->setIndent(0);
        setForeground(result, palette().color(QPalette::Text));
        setBackColor(result, engine::kRed);
        Retour[n] = result;
    }
}

void FrmDorlo::buildHidden() {
    const auto captions = edition::packedCaptions();
    for (int i = 0; i < engine::kRecordSlots; ++i) {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setText(captions[i]);
        placeTwips(label, 0, 0, 255, 255);
        label->setEnabled(false);
        label->hide();
        fr[i] = label;
    }
    Wheel = new layout::WheelCtl(this);
    Wheel->hide();
}

void FrmDorlo::buildPlayback() {
    Son = new playback::SoundSwitch(pictures::loudspeaker(), pictures::loudspeakerOff(), ZoneSon);
    placeTwips(Son, design::Son);
    Son->setToolTip(QString::fromUtf8(design::kSonTip));
    Volume = new playback::VolumeKnob(ZoneSon);
    Volume->setPixmap(pictures::knob());
    placeTwips(Volume, playback::kKnobStart, 45, 150, 315);
    MP = new playback::MediaPlayer(this);

    files_ = std::make_unique<playback::ExcerptFiles>();
    playback_ = std::make_unique<playback::PlaybackControl>(this, *this, *files_);
    auto* control = playback_.get();
    for (int k = 1; k <= 2 * kQuestions; ++k)
        connect(Cmd[k], &QToolButton::clicked, control, [control, k] { control->Cmd_Click(k); });
    // The player's state, the knob and the wait are wired by the control itself.
    connect(Son, &QAbstractButton::clicked, control, &playback::PlaybackControl::Son_Click);
}

std::uint32_t FrmDorlo::backColor(const QWidget* w) {
    const QColor c = w->palette().color(QPalette::Window);
    return std::uint32_t(c.red()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.blue()) << 16;
}

void FrmDorlo::setBackColor(QWidget* w, std::uint32_t bgr) {
    setBackground(w, fromBgr(bgr));
}

} // namespace window
