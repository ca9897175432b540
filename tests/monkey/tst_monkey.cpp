// A seeded random stream of user events on the real window, with the window's invariants
// checked after every one. DORLO_MONKEY_EVENTS and DORLO_MONKEY_SEED override the defaults;
// a failure names the seed and the events that led to it.
#include "data/clip_table.h"
#include "data/edition.h"
#include "engine/check.h"
#include "fixtures/test_stores.h"
#include "playback/excerpt_files.h"
#include "playback/media_player.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "window/frm_dorlo.h"
#include "window/saved_answers.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <deque>
#include <map>

namespace {

constexpr int kDefaultEvents = 100'000;
constexpr quint32 kDefaultSeed = 20040604;
const QString kPlaceholder = QStringLiteral("- - - - - -");

int envNumber(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

// The accepted forms of each question, from the authoring file, so that the stream can
// also find answers and not only miss them.
std::array<QStringList, 31> acceptedForms() {
    std::array<QStringList, 31> forms;
    QFile f(QStringLiteral(DORLO_SOURCE_DIR "/data/edition/edition.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return forms;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        const qsizetype eq = line.indexOf(QStringLiteral(" = "));
        bool ok = false;
        const int n = line.left(eq).toInt(&ok);
        if (eq > 0 && ok && n >= 1 && n <= 30)
            forms[n] = line.mid(eq + 3).trimmed().split(QStringLiteral(" / "));
    }
    return forms;
}

class TestMonkey : public QObject {
    Q_OBJECT

    QRandomGenerator rng;
    QTemporaryDir root;
    QString programFolder;
    QString tempFolder;
    QByteArray store;
    qint64 now = 1'000'000;
    std::unique_ptr<window::FrmDorlo> form;
    std::array<QStringList, 31> forms;
    std::array<std::array<QString, 2>, 31> storedCodes; // by count, then Invalide
    std::deque<QString> recent;
    std::map<QString, int> tally;
    std::map<QByteArray, int> handedOver;
    int pressedClip = 0;
    bool wasInvalide = false;

    int pick(int n) { return int(rng.bounded(quint32(n))); }
    bool chance(int percent) { return pick(100) < percent; }

    void note(const QString& what) {
        recent.push_back(what);
        if (recent.size() > 25)
            recent.pop_front();
        ++tally[what.section(u' ', 0, 0)];
    }

    // Keys go where a real keyboard sends them: the focus widget, else the window.
    QWidget* keyTarget() const {
        QWidget* w = QApplication::focusWidget();
        return w && w->window() == form.get() ? w : form.get();
    }

    // The clock moves between events; now and then faster than the key-rate filter allows.
    void tick() { now += chance(15) ? 1 + pick(30) : 31 + pick(400); }

    QString randomText(int maxLength) {
        static const QString extra = QStringLiteral("éèÉÈïÏûÛ'- €œ\u00A0\u0100\u4E2D");
        QString s;
        const int length = pick(maxLength + 1);
        for (int i = 0; i < length; ++i) {
            const int kind = pick(20);
            if (kind < 14)
                s += QChar(u'a' + pick(26));
            else if (kind < 16)
                s += QChar(u'A' + pick(26));
            else if (kind < 19)
                s += extra[pick(int(extra.size()))];
            else
                s += QString::fromUcs4(U"\U0001F3B5"); // outside the 16-bit plane
        }
        return s;
    }

    // One key producing `text` (one character, perhaps a surrogate pair), as a keyboard
    // layout would send it.
    void typeKey(const QString& text) {
        const char32_t c = text.toUcs4().value(0);
        const Qt::Key key = c < 0x7F ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, keyTarget(), key, text, Qt::NoModifier);
    }

    void typeText(const QString& text) {
        for (const QChar c : text) {
            now += 31 + pick(100);
            typeKey(QString(c));
        }
    }

    void clickBox(int n) { QTest::mouseClick(form->Txt[n], Qt::LeftButton, {}, QPoint(3, 3)); }

    void oneEvent() {
        tick();
        const int roll = pick(1000);
        if (roll < 360) {
            const QString t = randomText(1);
            note(QStringLiteral("key ") + t);
            typeKey(t.isEmpty() ? QStringLiteral("e") : t);
        } else if (roll < 420) {
            static const Qt::Key keys[] = {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Home,
                                           Qt::Key_End,       Qt::Key_Left,   Qt::Key_Right};
            const Qt::Key k = keys[pick(6)];
            note(QStringLiteral("edit-key %1").arg(int(k), 0, 16));
            QTest::keyClick(keyTarget(), k);
        } else if (roll < 460) {
            note(QStringLiteral("select-all"));
            QTest::keyClick(keyTarget(), Qt::Key_A, Qt::ControlModifier);
        } else if (roll < 520) {
            const QString t = randomText(40);
            note(QStringLiteral("paste ") + t);
            QApplication::clipboard()->setText(t);
            QTest::keyClick(keyTarget(), Qt::Key_V, Qt::ControlModifier);
        } else if (roll < 580) {
            note(QStringLiteral("enter"));
            QTest::keyClick(keyTarget(), chance(50) ? Qt::Key_Return : Qt::Key_Enter);
        } else if (roll < 610) {
            const bool back = chance(30);
            note(back ? QStringLiteral("backtab") : QStringLiteral("tab"));
            QTest::keyClick(keyTarget(), Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (roll < 640) {
            const int n = 1 + pick(30);
            note(QStringLiteral("click-box %1").arg(n));
            clickBox(n);
        } else if (roll < 660) {
            // A found answer, in one of its accepted forms, often oddly spaced or cased.
            const int n = 1 + pick(30);
            if (forms[n].isEmpty())
                return;
            QString answer = forms[n][pick(int(forms[n].size()))];
            if (chance(30))
                answer = answer.toUpper();
            if (chance(20))
                answer = QStringLiteral("  ") + answer + QLatin1Char(' ');
            if (chance(10))
                answer.replace(QLatin1Char(' '), QStringLiteral("  "));
            // Beyond thirty characters only the first thirty are compared: a found answer
            // that is too long marks the game not eligible.
            if (chance(30))
                answer += randomText(3);
            note(QStringLiteral("answer %1 %2").arg(n).arg(answer));
            clickBox(n);
            QTest::keyClick(keyTarget(), Qt::Key_A, Qt::ControlModifier);
            typeText(answer);
            now += 31;
            QTest::keyClick(keyTarget(), Qt::Key_Return);
        } else if (roll < 710) {
            const int k = 1 + pick(60);
            note(QStringLiteral("cmd %1").arg(k));
            QTest::mouseClick(form->Cmd[k], Qt::LeftButton);
        } else if (roll < 720) {
            note(QStringLiteral("switch"));
            QTest::mouseClick(form->Son, Qt::LeftButton);
        } else if (roll < 730) {
            // Time passes: the wait after a hand-over to the system player ends.
            note(QStringLiteral("wait"));
            now += 2000;
            if (form->playback()->Timer.isActive())
                QTest::qWait(form->playback()->Timer.interval() + 1);
        } else if (roll < 900) {
            const QList<QWidget*> targets = {form->ZoneP2, form->Txt[1 + pick(30)], form->VScroll,
                                             form->ZoneT0, form.get()};
            QWidget* target = targets[pick(int(targets.size()))];
            const int angle = (chance(50) ? 120 : -120) * (chance(90) ? 1 : 1 + pick(3));
            note(QStringLiteral("wheel %1").arg(angle));
            QWheelEvent e(QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)), QPoint(),
                          QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &e);
        } else if (roll < 960) {
            // Mostly windows that hold every panel: following the focus in a small one
            // repaints the window once per 100-twip step, which is what costs time here.
            const int kind = pick(100);
            const QSize size = kind < 2    ? QSize(1, 1)
                               : kind < 6  ? QSize(1 + pick(900), 1 + pick(520))
                               : kind < 12 ? QSize(1 + pick(1600), 1 + pick(1200))
                                           : QSize(900 + pick(200), 520 + pick(280));
            note(QStringLiteral("resize %1x%2").arg(size.width()).arg(size.height()));
            if (form->isMaximized() || form->isMinimized())
                form->showNormal();
            form->resize(size); // the resize handler runs at once; painting waits

        } else if (roll < 980) {
            note(QStringLiteral("minimise"));
            form->showMinimized();
            QCoreApplication::processEvents();
        } else {
            const bool maximise = chance(30);
            note(maximise ? QStringLiteral("maximise") : QStringLiteral("restore"));
            if (maximise)
                form->showMaximized();
            else
                form->showNormal();
            form->activateWindow();
            QCoreApplication::processEvents();
        }
    }

    QString broken() {
        int bold = 0;
        for (int n = 1; n <= 30; ++n)
            bold += form->Retour[n]->font().bold() ? 1 : 0;
        if (form->LblNbR1->text() != QString::number(bold))
            return QStringLiteral("count shows %1, %2 bold result labels")
                .arg(form->LblNbR1->text())
                .arg(bold);

        const QString code = form->LblCode1->text();
        if (bold == 0) {
            if (code != kPlaceholder)
                return QStringLiteral("no answer found, code shows %1").arg(code);
        } else if (bold < 30 || form->Invalide) {
            const QString& expected = storedCodes[bold][form->Invalide ? 1 : 0];
            if (code != expected)
                return QStringLiteral("count %1%2: code shows %3, stored code is %4")
                    .arg(bold)
                    .arg(form->Invalide ? QStringLiteral(" not eligible") : QString())
                    .arg(code, expected);
        }
        static const QRegularExpression sixDigits(QStringLiteral("^[0-9A-Z]{6}$"));
        if (bold > 0 && !sixDigits.match(code).hasMatch())
            return QStringLiteral("count %1: code %2 is not six digits").arg(bold).arg(code);
        if (wasInvalide && !form->Invalide)
            return QStringLiteral("the not-eligible mark went away");
        wasInvalide = form->Invalide;

        const QStringList files =
            QDir(tempFolder)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& f : files)
            if (f != QLatin1String("Dorlo.mp3") && f != QLatin1String("Dorl.mp3"))
                return QStringLiteral("stray file %1 in the temporary folder").arg(f);
        return {};
    }

    void openWindow() {
        window::ProgramSettings s;
        s.folder = programFolder;
        s.executableName = QStringLiteral("monkey");
        s.fallbackFolder = root.filePath(QStringLiteral("user"));
        s.clock = [this] {
            return now;
        };
        form = std::make_unique<window::FrmDorlo>(s);
        form->openUrl = [](const QUrl&) {
        };
        // The hand-overs to either player: the file must be there, whole; nothing plays.
        const auto handOver = [this](const char* player) {
            return [this, player](const QString& path) {
                ++handedOver[player];
                const QByteArray expected =
                    store.mid(edition::clipStart(pressedClip), edition::clipLength(pressedClip));
                if (QFileInfo(path).dir() != QDir(tempFolder) ||
                    testing::readFile(path) != expected)
                    qFatal("%s handed to the %s player without clip %d in it", qUtf8Printable(path),
                           player, pressedClip);
            };
        };
        // A stop press hands the short clip 0 to the system player. Mouse or space bar:
        // pressed comes before the click that plays.
        for (int k = 1; k <= 60; ++k)
            connect(form->Cmd[k], &QAbstractButton::pressed, this,
                    [this, k] { pressedClip = k <= 30 ? k : 0; });
        form->playback()->openWithSystem = handOver("system");
        form->playback()->playEmbedded = handOver("embedded");
        // The wait after a hand-over is what it is; the stream need not sit through it.
        form->playback()->Timer.setInterval(5);
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        programFolder = root.filePath(QStringLiteral("program"));
        tempFolder = root.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(programFolder) && QDir().mkpath(tempFolder));
        qputenv("TMPDIR", QFile::encodeName(tempFolder));
        store = testing::patternStore(edition::storeLength());
        QVERIFY(testing::writeFile(playback::storePath(programFolder), store));
        forms = acceptedForms();
        QVERIFY2(!forms[30].isEmpty(), "the authoring file gives no answers");
    }

    void randomStream() {
        const int events = envNumber("DORLO_MONKEY_EVENTS", kDefaultEvents);
        const quint32 seed = quint32(envNumber("DORLO_MONKEY_SEED", int(kDefaultSeed)));
        rng.seed(seed);
        openWindow();
        QCOMPARE(form->excerptFiles()->DossierTemp, tempFolder + QLatin1Char('/'));
        for (int c = 1; c <= 30; ++c)
            for (bool inv : {false, true})
                storedCodes[c][inv] =
                    engine::rankingCode(edition::tables(), form->tables.codes, c, inv, {}).caption;

        form->resize(960, 640);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QString failure = broken();
        int maxFound = 0;
        int notEligibleAt = -1;
        int i = 0;
        std::map<QString, qint64> spent;
        for (; i < events && failure.isEmpty(); ++i) {
            QElapsedTimer t;
            t.start();
            oneEvent();
            if (!recent.empty())
                spent[recent.back().section(u' ', 0, 0)] += t.nsecsElapsed();
            failure = broken();
            maxFound = std::max(maxFound, form->LblNbR1->text().toInt());
            if (form->Invalide && notEligibleAt < 0)
                notEligibleAt = i;
        }
        if (!failure.isEmpty()) {
            QString trail;
            for (const QString& e : recent)
                trail += QStringLiteral("\n  ") + e;
            QFAIL(qPrintable(QStringLiteral("seed %1, event %2: %3; last events:%4")
                                 .arg(seed)
                                 .arg(i)
                                 .arg(failure, trail)));
        }

        QString counts; // kind=events/milliseconds
        for (const auto& [kind, n] : tally)
            counts += QStringLiteral(" %1=%2/%3").arg(kind).arg(n).arg(spent[kind] / 1000000);
        qInfo("seed %u, %d events:%s; most found %d, not eligible from event %d; files handed to "
              "the embedded player %d, "
              "to the system player %d",
              seed, events, qPrintable(counts), maxFound, notEligibleAt, handedOver["embedded"],
              handedOver["system"]);

        // Closing keeps every answer: the file holds exactly what the boxes held.
        std::array<QString, window::kAnswers + 1> texts;
        bool any = false;
        for (int n = 1; n <= 30; ++n) {
            texts[n] = form->Txt[n]->text();
            any = any || !texts[n].isEmpty();
        }
        const bool invalide = form->Invalide;
        form->close();
        form.reset();
        const QByteArray saved = testing::readFile(programFolder + QStringLiteral("/monkey.REP"));
        if (any)
            QCOMPARE(saved, window::formatSavedAnswers(texts, invalide));
        QVERIFY(!QFile::exists(tempFolder + QStringLiteral("/Dorlo.mp3")) ||
                !QFile::exists(tempFolder + QStringLiteral("/Dorl.mp3")));
    }
};

} // namespace

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"
