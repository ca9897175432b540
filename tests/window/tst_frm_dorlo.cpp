// The window's composition, the answer check's display, start-up and shutdown.
#include "window_fixture.h"

#include "data/edition.h"
#include "engine/check.h"
#include "layout/twips.h"
#include "layout/wheel_ctl.h"
#include "playback/excerpt_files.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/volume.h"
#include "window/answers_file.h"
#include "window/design.h"
#include "window/saved_answers.h"

#include <QFontInfo>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using window::FrmDorlo;
namespace design = window::design;

namespace {

QRect tw(double l, double t, double w, double h) {
    return layout::rectFromTwips(l, t, w, h);
}

QRect tw(const window::design::Place& p) {
    return tw(p.left, p.top, p.width, p.height);
}

QByteArray answersFile(std::initializer_list<std::pair<int, QString>> items, bool marker = false) {
    std::array<QString, 31> t;
    for (const auto& [n, s] : items)
        t[n] = s;
    return window::formatSavedAnswers(t, marker);
}

} // namespace

class TestFrmDorlo : public QObject {
    Q_OBJECT
private slots:
    // --- Composition -----------------------------------------------------------------
    void controlsAtDesignGeometry() {
        WindowFixture fx;
        auto f = fx.open();
        QCOMPARE(f->ZoneT0->geometry(), tw(design::ZoneT0));
        QCOMPARE(f->ZoneT1->geometry(), tw(design::ZoneT1));
        QCOMPARE(f->LblNbR1->geometry(), tw(design::LblNbR1));
        QCOMPARE(f->LblCode1->geometry(), tw(design::LblCode1));
        QCOMPARE(f->LblTitre->geometry(), tw(design::LblTitre));
        QCOMPARE(f->ZoneT3->geometry(), tw(design::ZoneT3));
        QCOMPARE(f->ZoneSon->geometry(), tw(design::ZoneSon));
        QCOMPARE(f->Son->geometry(), tw(design::Son));
        QCOMPARE(f->Volume->geometry(), tw(720, 45, 150, 315));
        // The site label keeps its place; a longer site name widens it about its centre.
        const QRect site = f->LblSite->geometry(), designed = tw(design::LblSite);
        QCOMPARE(site.top(), designed.top());
        QCOMPARE(site.height(), designed.height());
        QVERIFY(std::abs(site.center().x() - designed.center().x()) <= 1);
        QVERIFY(site.width() >= designed.width());
        QVERIFY(site.right() < f->ZoneT3->width());
        QCOMPARE(f->VScroll->geometry(), tw(design::VScroll));
        QCOMPARE(f->HScroll->geometry(), tw(design::HScroll));
        QCOMPARE(f->ZoneP1->geometry(), tw(design::ZoneP1));
        QCOMPARE(f->VScroll->pageStep(), 8520);
        QCOMPARE(f->HScroll->singleStep(), 15);
        QCOMPARE(f->VScroll->maximum(), 0);
        QCOMPARE(f->LineT1->geometry().top(), layout::toPixels(design::kSeparatorTop));
    }

    void panelsOnTheDesignGrid_data() {
        QTest::addColumn<int>("n");
        for (int n : {1, 2, 3, 4, 7, 28, 30})
            QTest::addRow("panel %d", n) << n;
    }
    void panelsOnTheDesignGrid() {
        QFETCH(int, n);
        WindowFixture fx;
        auto f = fx.open();
        const int col = (n - 1) % 3, row = (n - 1) / 3;
        QCOMPARE(f->Shape[n]->geometry(), tw(120 + 4185 * col, 120 + 540 * row, 4200, 555));
        QCOMPARE(f->Shape[n]->parentWidget(), f->ZoneP2);
        QCOMPARE(f->No[n]->geometry(), tw(design::No));
        QCOMPARE(f->Cmd[n]->geometry(), tw(design::Play));
        QCOMPARE(f->Cmd[n + 30]->geometry(), tw(design::Stop));
        QCOMPARE(f->Cmd[n + 30]->parentWidget(), f->Shape[n]); // Cmd(37) stops in panel 7
        QCOMPARE(f->Txt[n]->geometry(), tw(design::Txt));
        QCOMPARE(f->Retour[n]->geometry(), tw(design::Retour));
        QCOMPARE(f->No[n]->text(), QString::number(n) + ".");
        QVERIFY(f->No[n]->font().bold());
        QCOMPARE(f->No[n]->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(f->Txt[n]->index(), n);
    }

    void hiddenRecordLabels() {
        WindowFixture fx;
        auto f = fx.open();
        const auto captions = edition::packedCaptions();
        for (int i = 0; i < 34; ++i) {
            QVERIFY(f->fr[i]);
            QVERIFY(f->fr[i]->isHidden());
            QVERIFY(!f->fr[i]->isEnabled());
            QCOMPARE(f->fr[i]->text(), captions[i]);
        }
        f->show();
        for (int i = 0; i < 34; ++i)
            QVERIFY(!f->fr[i]->isVisible());
        QVERIFY(!f->Wheel->isVisible());
        QCOMPARE(f->playback()->Timer.timerType(), Qt::PreciseTimer); // never ends early
    }

    void captionsTooltipsAndColours() {
        WindowFixture fx;
        auto f = fx.open();
        QCOMPARE(f->windowTitle(), QStringLiteral("Dorlo Zidoduder 04"));
        QCOMPARE(f->LblNbR2->text(), QStringLiteral("/ 30"));
        QCOMPARE(f->LblCode0->text(), QStringLiteral("Code :"));
        QCOMPARE(f->LblTitre->text(), QStringLiteral("DORLO ZIDODUDER 04"));
        QCOMPARE(f->LblIndics->text(),
                 QStringLiteral("Retrouvez les titres des oeuvres comportant ces extraits"));
        QCOMPARE(f->LblSite->text(), edition::siteName());
        const QString codeTip = QString::fromUtf8(design::kCodeTip) + edition::siteName();
        QCOMPARE(f->LblCode0->toolTip(), codeTip);
        QCOMPARE(f->LblCode1->toolTip(), codeTip);
        QCOMPARE(f->Son->toolTip(), QString::fromUtf8(design::kSonTip));
        QCOMPARE(f->LblSite->toolTip(),
                 QString::fromUtf8(design::kSiteTip) + edition::siteAddress());

        const QColor header(128, 128, 255);
        for (QWidget* w : {f->ZoneT1, f->ZoneT2, f->ZoneT3, static_cast<QWidget*>(f->LblNbR1),
                           static_cast<QWidget*>(f->LblCode1), static_cast<QWidget*>(f->LblSite)})
            QCOMPARE(w->palette().color(QPalette::Window), header);
        QCOMPARE(f->LblTitre->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QCOMPARE(f->LblSite->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(f->LblSite->font().underline());
        // 12 pt unless the site name needs less to be read whole.
        QVERIFY(f->LblSite->font().pointSizeF() <= 12.0);
        QVERIFY(f->LblSite->fontMetrics().horizontalAdvance(f->LblSite->text()) <=
                f->LblSite->width());
        QVERIFY(f->LblTitre->font().italic());
        QCOMPARE(f->LblTitre->font().pointSizeF(), 26.25);
        QCOMPARE(f->LblNbR1->font().pointSizeF(), 20.25);
        QVERIFY(f->LblCode1->font().bold());
        QCOMPARE(f->LblCode1->font().pointSizeF(), 8.25);
        QCOMPARE(f->LblNbR1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(f->LblCode0->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        // The design's families give way to installed faces of the same kind.
        QVERIFY(QFontInfo(f->LblNbR1->font()).family().contains(QStringLiteral("Lato")));
        QCOMPARE(QFontInfo(f->Txt[1]->font()).family(), QStringLiteral("DejaVu Sans"));
        for (int n = 1; n <= 30; ++n) {
            QCOMPARE(FrmDorlo::backColor(f->Retour[n]), 255u);
            QCOMPARE(f->Retour[n]->text(), QStringLiteral("?"));
            QCOMPARE(f->Retour[n]->frameShape(), QFrame::Box);
            QCOMPARE(f->Retour[n]->alignment(), Qt::AlignHCenter | Qt::AlignTop);
        }
    }

    void pictures() {
        WindowFixture fx;
        auto f = fx.open();
        QCOMPARE(f->Cmd[1]->iconSize(), QSize(14, 13));
        QCOMPARE(f->Son->picture().deviceIndependentSize(), QSizeF(18, 18));
        QCOMPARE(f->Volume->pixmap().deviceIndependentSize(), QSizeF(10, 21));
        QCOMPARE(f->LblSite->cursor().hotSpot(), QPoint(11, 6));
        QCOMPARE(f->LblSite->cursor().pixmap().deviceIndependentSize(), QSizeF(32, 32));
        QCOMPARE(f->ZoneT1->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!f->windowIcon().isNull());
    }

    void siteLabelOpensTheAddress() {
        WindowFixture fx;
        auto f = fx.open();
        QList<QUrl> opened;
        f->openUrl = [&](const QUrl& u) {
            opened << u;
        };
        f->show();
        QTest::mouseClick(f->LblSite, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl(edition::siteAddress())});
        QTest::mouseClick(f->LblCode1, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
    }

    void keyboardOrderPerPanel() {
        WindowFixture fx;
        auto f = fx.open();
        const auto next = [](QWidget* w) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        for (int n = 1; n <= 29; ++n) {
            QCOMPARE(next(f->Cmd[n]), f->Cmd[n + 30]);
            QCOMPARE(next(f->Cmd[n + 30]), f->Txt[n]);
            QCOMPARE(next(f->Txt[n]), f->Cmd[n + 1]);
        }
        QCOMPARE(f->No[1]->focusPolicy(), Qt::NoFocus);
        QCOMPARE(f->Retour[1]->focusPolicy(), Qt::NoFocus);

        // The window opens on the first stop of that order: the first Enter opens no site.
        QList<QUrl> opened;
        f->openUrl = [&](const QUrl& u) {
            opened << u;
        };
        f->show();
        QApplication::setActiveWindow(f.get());
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        QCOMPARE(QApplication::focusWidget(), f->Cmd[1]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(opened.isEmpty());
    }

    // --- The check on the window ---------------------------------------------------
    void foundAnswerTurnsGreenAndCounts() {
        WindowFixture fx;
        auto f = fx.open();
        QCOMPARE(f->LblNbR1->text(), QStringLiteral("0"));
        QCOMPARE(f->LblCode1->text(), QStringLiteral("- - - - - -"));

        f->Txt[5]->Tag = QStringLiteral("  la truite ");
        f->Txt[5]->setText(f->Txt[5]->Tag);
        f->Verifie(5);
        QCOMPARE(f->Retour[5]->text(), QStringLiteral("Correct"));
        QCOMPARE(FrmDorlo::backColor(f->Retour[5]), 65280u);
        QVERIFY(f->Retour[5]->font().bold());
        QCOMPARE(f->Txt[5]->text(), QStringLiteral("La Truite"));
        QCOMPARE(f->Txt[5]->Tag, QStringLiteral("La Truite"));
        QCOMPARE(f->LblNbR1->text(), QStringLiteral("1"));
        const QString code1 = f->LblCode1->text();
        QCOMPARE(code1.size(), 6);
        QVERIFY(code1 != QStringLiteral("- - - - - -"));

        // Variant 2 shows the plain text of variant 1.
        f->Txt[3]->Tag = QStringLiteral("Dans l'antre du roi montagnard");
        f->Txt[3]->setText(f->Txt[3]->Tag);
        f->Verifie(3);
        QCOMPARE(f->Txt[3]->text(), QStringLiteral("Peer Gynt"));
        QCOMPARE(f->LblNbR1->text(), QStringLiteral("2"));
        QVERIFY(f->LblCode1->text() != code1);

        // Edited back into a wrong answer: no longer counted.
        f->Txt[5]->setText(QStringLiteral("La Truit"));
        f->Verifie(5);
        QCOMPARE(f->Retour[5]->text(), QStringLiteral("Presque")); // 8 of 9
        QCOMPARE(FrmDorlo::backColor(f->Retour[5]), 255u);
        QVERIFY(!f->Retour[5]->font().bold());
        QCOMPARE(f->LblNbR1->text(), QStringLiteral("1"));
        f->Txt[3]->setText(QString());
        f->Verifie(3);
        QCOMPARE(f->Retour[3]->text(), QStringLiteral("?"));
        QCOMPARE(f->LblCode1->text(), QStringLiteral("- - - - - -"));
    }

    // --- Start-up and shutdown -------------------------------------------------------
    void restoresAndChecksSavedAnswers() {
        WindowFixture fx;
        fx.write("game.REP", answersFile({{5, QStringLiteral("  La Truite  ")},
                                          {9, QStringLiteral("abcdefghijklmnopqrstuvwxy")}}));
        auto f = fx.open();
        QCOMPARE(f->Txt[5]->text(), QStringLiteral("La Truite")); // trimmed by the check
        QCOMPARE(f->Retour[5]->text(), QStringLiteral("Correct"));
        QCOMPARE(f->Txt[9]->text().size(), 25); // restored whole despite the growth rule
        QCOMPARE(f->LblNbR1->text(), QStringLiteral("1"));
        QVERIFY(!f->Invalide);
    }

    void markerSelectsTheSecondCode() {
        QString eligible;
        {
            WindowFixture fx;
            fx.write("game.REP", answersFile({{5, QStringLiteral("La Truite")}}));
            eligible = fx.open()->LblCode1->text();
        }
        WindowFixture fx;
        fx.write("game.REP", answersFile({{5, QStringLiteral("La Truite")}}, true));
        auto f = fx.open();
        QVERIFY(f->Invalide);
        QCOMPARE(f->LblNbR1->text(), QStringLiteral("1"));
        QVERIFY(f->LblCode1->text() != eligible);
        f.reset();
        const QByteArray written = fx.read("game.REP");
        QVERIFY(written.startsWith("\xA0"
                                   "1:\r\n\xA0"
                                   "2:\r\n"));
        QCOMPARE(written.count('\xA0'), 9);
    }

    void writesAllThirtyLinesExactly() {
        WindowFixture fx;
        auto f = fx.open();
        f->Txt[12]->setText(QStringLiteral("x")); // typed, not checked
        f->Txt[2]->Tag = QStringLiteral(" Été ");
        f->Txt[2]->setText(f->Txt[2]->Tag);
        QVERIFY(f->close());
        QVERIFY(f->unloaded());
        std::array<QString, 31> expected;
        expected[2] = QStringLiteral(" Été ");
        expected[12] = QStringLiteral("x");
        QCOMPARE(fx.read("game.REP"), window::formatSavedAnswers(expected, false));
        QVERIFY(fx.read("game.REP").startsWith(" 1:\r\n 2: \xC9t\xE9 \r\n 3:\r\n"));
    }

    void allBoxesEmptyLeavesTheFileAlone() {
        WindowFixture fx;
        // A file of answers that are all empty, in no form the program writes.
        const QByteArray odd = "ab\r\r 5:\n\nxyz";
        fx.write("game.REP", odd);
        auto f = fx.open();
        for (int n = 1; n <= 30; ++n)
            QVERIFY(f->Txt[n]->text().isEmpty());
        f->close();
        QCOMPARE(fx.read("game.REP"), odd);
        f.reset();
        QCOMPARE(fx.read("game.REP"), odd);
        QVERIFY(!QFile::exists(fx.userData.filePath("game.REP")));
    }

    void unloadRunsOnce() {
        WindowFixture fx;
        auto f = fx.open();
        f->Txt[1]->setText(QStringLiteral("a"));
        f->close();
        QFile::remove(fx.path("game.REP"));
        f->Form_Unload();
        f.reset(); // the destructor does not unload a second time
        QVERIFY(!QFile::exists(fx.path("game.REP")));
    }

    void renamedCopyUsesItsOwnFile() {
        WindowFixture fx;
        fx.write("game.REP", answersFile({{1, QStringLiteral("original")}}));
        fx.write("copy.REP", answersFile({{1, QStringLiteral("copie")}}));
        {
            auto f = fx.open(QStringLiteral("copy.exe"));
            QCOMPARE(f->Txt[1]->text(), QStringLiteral("copie"));
            f->Txt[2]->setText(QStringLiteral("b"));
        }
        QVERIFY(fx.read("copy.REP").contains(" 2:b\r\n"));
        QCOMPARE(fx.read("game.REP"), answersFile({{1, QStringLiteral("original")}}));
    }

    void failedWriteKeepsThePreviousFile() {
        WindowFixture fx;
        // A name so long that no temporary file can be made beside it, even for root.
        const QString name = QString(250, QLatin1Char('g'));
        const QByteArray old = answersFile({{1, QStringLiteral("ancienne")}});
        fx.write(name + ".REP", old);
        auto f = fx.open(name);
        QCOMPARE(f->Txt[1]->text(), QStringLiteral("ancienne"));
        f->Txt[1]->Tag = QStringLiteral("nouvelle");
        f->Txt[1]->setText(f->Txt[1]->Tag);
        QVERIFY(!f->saveAnswers());
        QVERIFY(f->close()); // the window still closes
        QCOMPARE(fx.read(name + ".REP"), old);
    }

    void readOnlyFileKeepsItsContent() {
        if (geteuid() == 0)
            QSKIP("permissions do not bind root");
        WindowFixture fx;
        const QByteArray old = answersFile({{1, QStringLiteral("ancienne")}});
        fx.write("game.REP", old);
        QFile::setPermissions(fx.path("game.REP"), QFile::ReadOwner);
        auto f = fx.open();
        f->Txt[1]->setText(QStringLiteral("n"));
        QVERIFY(!f->saveAnswers());
        QCOMPARE(fx.read("game.REP"), old);
    }

    void directoryInPlaceIsLeftAndAnswersGoToUserData() {
        WindowFixture fx;
        QVERIFY(QDir(fx.dir.path()).mkdir("game.REP"));
        auto f = fx.open();
        QCOMPARE(f->answersFile().writePath(), fx.userData.filePath("game.REP"));
        f->Txt[1]->setText(QStringLiteral("a"));
        f->close();
        QVERIFY(QFileInfo(fx.path("game.REP")).isDir());
        QVERIFY(QFileInfo(fx.userData.filePath("game.REP")).size() > 0);
        // The next start reads them back from there.
        auto again = fx.open();
        QCOMPARE(again->Txt[1]->text(), QStringLiteral("a"));
    }

    void pipeInPlaceDoesNotHang() {
        WindowFixture fx;
        QVERIFY(::mkfifo(QFile::encodeName(fx.path("game.REP")).constData(), 0600) == 0);
        auto f = fx.open(); // would block here, waiting for a writer
        QVERIFY(f->Txt[1]->text().isEmpty());
        f->Txt[1]->setText(QStringLiteral("a"));
        f->close();
        QVERIFY(!QFileInfo(fx.path("game.REP")).isFile()); // left as it was
        QVERIFY(QFile::exists(fx.userData.filePath("game.REP")));
    }

    void unwritableFolderUsesUserData() {
        WindowFixture fx;
        window::ProgramSettings s = fx.settings();
        s.folder = fx.path("missing/folder"); // cannot be written
        {
            FrmDorlo f(s);
            f.Txt[4]->setText(QStringLiteral("d"));
        }
        QFile saved(fx.userData.filePath("game.REP"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains(" 4:d\r\n"));
        FrmDorlo again(s);
        QCOMPARE(again.Txt[4]->text(), QStringLiteral("d"));
    }

    void fileBesideWinsOverUserData() {
        WindowFixture fx;
        fx.write("game.REP", answersFile({{1, QStringLiteral("beside")}}));
        QFile other(fx.userData.filePath("game.REP"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(answersFile({{1, QStringLiteral("user")}}));
        other.close();
        auto f = fx.open();
        QCOMPARE(f->Txt[1]->text(), QStringLiteral("beside"));
    }

    void storeProblemOnThePlayButtons() {
        WindowFixture fx; // an empty folder: no store
        auto f = fx.open();
        QVERIFY(!f->Cmd[1]->toolTip().isEmpty());
        QCOMPARE(f->Cmd[30]->toolTip(), f->Cmd[1]->toolTip());
        QCOMPARE(f->excerptFiles()->CheminDat, fx.path("Dorlo Zidoduder 04.dat"));
        QVERIFY(f->excerptFiles()->DossierTemp.endsWith('/'));
    }
};

QTEST_MAIN(TestFrmDorlo)
#include "tst_frm_dorlo.moc"
