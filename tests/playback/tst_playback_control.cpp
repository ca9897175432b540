// Play and stop buttons, the player switch, the wait after a hand-over, and the
// embedded player's stopped notification.
#include "data/clip_table.h"
#include "fixtures/test_stores.h"
#include "playback/media_player.h"
#include "playback/playback_control.h"
#include "playback/sound_switch.h"
#include "playback/system_player.h"
#include "playback/volume.h"
#include "sound_server.h"

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

using edition::clipLength;
using edition::clipStart;
using namespace playback;

namespace {

QPixmap filled(Qt::GlobalColor c) {
    QPixmap p(20, 20);
    p.fill(c);
    return p;
}

struct HandOver {
    QString path;
    QByteArray bytes; // the file's content at the moment it was handed over
};

} // namespace

// Catches what QDesktopServices is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<HandOver> seen;
public slots:
    void open(const QUrl& url) {
        seen.append({url.toLocalFile(), testing::readFile(url.toLocalFile())});
    }
};

class TestPlaybackControl : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray patternStore_;
    QByteArray playableStore_;

    // One window's worth of playback, rebuilt for every test.
    std::unique_ptr<QWidget> form_;
    QWidget* zoneT1_ = nullptr;
    SoundSwitch* son_ = nullptr;
    VolumeKnob* volume_ = nullptr;
    MediaPlayer* mp_ = nullptr;
    ExcerptFiles files_;
    std::unique_ptr<PlaybackControl> control_;
    QList<HandOver> handed_;
    testing::SoundServer server_;

    QString temp() const { return dir_.filePath("tmp/"); }
    QStringList tempFiles() const { return QDir(temp()).entryList(QDir::Files | QDir::System); }
    QByteArray clip(int k) const { return patternStore_.mid(clipStart(k), clipLength(k)); }
    void useStore(const QByteArray& bytes) { QVERIFY(testing::writeFile(files_.CheminDat, bytes)); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString problem = server_.start();
        if (!problem.isEmpty())
            QFAIL(qPrintable("no sound server for the test: " + problem));
        patternStore_ = testing::patternStore(edition::storeLength());
        playableStore_ = testing::playableStore(testing::mp3Frames(0.6));
        QCOMPARE(playableStore_.size(), edition::storeLength());
    }

    void init() {
        QDir(temp()).removeRecursively();
        QVERIFY(QDir().mkpath(temp()));
        form_ = std::make_unique<QWidget>();
        zoneT1_ = new QWidget(form_.get());
        zoneT1_->setFocusPolicy(Qt::StrongFocus);
        son_ = new SoundSwitch(filled(Qt::green), filled(Qt::red), form_.get());
        auto* zoneSon = new QWidget(form_.get());
        volume_ = new VolumeKnob(zoneSon);
        mp_ = new MediaPlayer(form_.get());
        files_ = ExcerptFiles{};
        files_.CheminDat = storePath(dir_.path());
        files_.DossierTemp = temp();
        useStore(patternStore_);
        control_ = std::make_unique<PlaybackControl>(
            form_.get(), PlaybackControl::Controls{zoneT1_, son_, volume_, mp_}, files_);
        handed_.clear();
        control_->openWithSystem = [this](const QString& path) {
            handed_.append({path, testing::readFile(path)});
        };
    }

    void cleanup() {
        control_.reset();
        form_.reset();
    }

    void switchOffHandsOverWithAWait_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("k");
        QTest::newRow("play button 5") << 5 << 5;
        QTest::newRow("stop button of panel 1") << 31 << 0;
        QTest::newRow("stop button of panel 30") << 60 << 0;
    }
    void switchOffHandsOverWithAWait() {
        QFETCH(int, index);
        QFETCH(int, k);
        control_->Son_Click();
        QElapsedTimer clock;
        clock.start();
        control_->Cmd_Click(index);
        QCOMPARE(handed_.size(), 1);
        QCOMPARE(handed_[0].path, temp() + "Dorlo.mp3");
        QCOMPARE(handed_[0].bytes, clip(k));
        QVERIFY(control_->Timer.isActive());
        QCOMPARE(control_->Timer.interval(), 2000);
        QCOMPARE(form_->cursor().shape(), Qt::WaitCursor);
        QVERIFY(!mp_->hasBackend()); // the embedded player is left alone

        QTRY_VERIFY_WITH_TIMEOUT(!control_->Timer.isActive(), 10000);
        QVERIFY(clock.elapsed() >= 1900);
        QCOMPARE(form_->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!QFileInfo::exists(temp() + "Dorlo.mp3"));
    }

    // During the wait play, stop and the switch do nothing at all.
    void pressesDuringTheWait() {
        control_->Son_Click();
        control_->Cmd_Click(5);
        const QString named = files_.FichierMP3;
        const bool flag = files_.nameFlag;
        const qint64 key = son_->picture().cacheKey();
        for (int index : {7, 5, 40}) {
            control_->Cmd_Click(index);
            QCOMPARE(files_.FichierMP3, named);
            QCOMPARE(files_.nameFlag, flag);
        }
        control_->Son_Click();
        QCOMPARE(control_->LecteurInterne, false);
        QCOMPARE(son_->picture().cacheKey(), key);
        QCOMPARE(handed_.size(), 1);
        QCOMPARE(tempFiles(), QStringList{"Dorlo.mp3"});
        QCOMPARE(form_->cursor().shape(), Qt::WaitCursor);
        control_->Timer_Timer();
        QCOMPARE(form_->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(tempFiles().isEmpty());
    }

    void handOverThroughTheDesktop() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        control_->openWithSystem = openWithSystemPlayer;
        control_->Son_Click();
        control_->Cmd_Click(45);
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.seen.size(), 1);
        QCOMPARE(catcher.seen[0].path, temp() + "Dorlo.mp3");
        QCOMPARE(catcher.seen[0].bytes.size(), 632);
        QVERIFY(control_->Timer.isActive());
    }

    // Also: indexes outside the 60 buttons do nothing.
    void stopButtonWithTheSwitchOn() {
        for (int index : {31, 44, 60, 0, 61})
            control_->Cmd_Click(index);
        QVERIFY(tempFiles().isEmpty());
        QCOMPARE(files_.nameFlag, false);
        QVERIFY(!control_->Timer.isActive());
        QVERIFY(!mp_->hasBackend()); // stopping nothing brings up no backend
    }

    void twoSwitchClicksRestore() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        const qint64 up = son_->picture().cacheKey();
        const qint64 down = son_->downPicture().cacheKey();
        control_->Son_Click();
        QCOMPARE(control_->LecteurInterne, false);
        QVERIFY(!mp_->isEnabled());
        QCOMPARE(son_->picture().cacheKey(), down);
        QCOMPARE(son_->downPicture().cacheKey(), up);
        QTRY_VERIFY(zoneT1_->hasFocus());
        son_->setFocus();
        control_->Son_Click();
        QCOMPARE(control_->LecteurInterne, true);
        QVERIFY(mp_->isEnabled());
        QCOMPARE(son_->picture().cacheKey(), up);
        QCOMPARE(son_->downPicture().cacheKey(), down);
        QTRY_VERIFY(zoneT1_->hasFocus());
    }

    void switchShowsPressedPicture() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        son_->resize(20, 20);
        const QColor up = son_->grab().toImage().pixelColor(5, 5);
        son_->setDown(true);
        const QColor down = son_->grab().toImage().pixelColor(5, 5);
        QCOMPARE(up, QColor(Qt::green));
        QCOMPARE(down, QColor(Qt::red));
    }

    void badStoreHandsNothingOver_data() {
        QTest::addColumn<bool>("internal");
        QTest::newRow("embedded player") << true;
        QTest::newRow("system player") << false;
    }
    void badStoreHandsNothingOver() {
        QFETCH(bool, internal);
        QFile::remove(files_.CheminDat);
        if (!internal)
            control_->Son_Click();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Dorlo Zidoduder 04.dat"));
        control_->Cmd_Click(3);
        QVERIFY(handed_.isEmpty());
        QCOMPARE(mp_->fileName(), QString());
        QVERIFY(!mp_->hasBackend());
        QVERIFY(!control_->Timer.isActive());
        QCOMPARE(form_->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(tempFiles().isEmpty());
        QVERIFY(files_.storeProblem().contains("introuvable"));
    }

    // The volume follows the knob before every clip, whatever was set in between.
    void playReappliesTheKnobVolume() {
        control_->Son_Click();
        mp_->setVolume(0);
        control_->Cmd_Click(2);
        QCOMPARE(mp_->volume(), -469);
        QCOMPARE(volume_->leftTwips(), 720.0);
    }

    void knobDragSetsThePlayerVolume() {
        volume_->Volume_MouseDown(1, 0, 0, 0);
        volume_->Volume_MouseMove(1, 0, 180, 0);
        QCOMPARE(mp_->volume(), -131);
    }

    // Through the real player, headless.
    void samePlayButtonTwice() {
        useStore(playableStore_);
        QSignalSpy spy(mp_, &MediaPlayer::PlayStateChange);
        control_->Cmd_Click(4);
        QCOMPARE(mp_->fileName(), temp() + "Dorlo.mp3");
        QCOMPARE(testing::readFile(temp() + "Dorlo.mp3"),
                 playableStore_.mid(clipStart(4), clipLength(4)));
        QTRY_COMPARE_WITH_TIMEOUT(mp_->playState(), 2, 20000);
        spy.clear();
        control_->Cmd_Click(4);
        QCOMPARE(mp_->fileName(), temp() + "Dorl.mp3");
        QTRY_COMPARE_WITH_TIMEOUT(mp_->playState(), 2, 20000);
        QCOMPARE(spy.first(), QVariantList({2, 0})); // stopped, then started again
        QCOMPARE(spy.last(), QVariantList({0, 2}));
        QCOMPARE(mp_->fileName(), temp() + "Dorl.mp3");
        QCOMPARE(handed_.size(), 0);
    }

    void clipEndingByItselfClosesTheFile() {
        useStore(playableStore_);
        control_->Cmd_Click(17);
        QTRY_COMPARE_WITH_TIMEOUT(mp_->playState(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(mp_->fileName(), QString(), 30000);
        QCOMPARE(mp_->playState(), 0);
    }

    void switchingOffStopsThePlayer() {
        useStore(playableStore_);
        control_->Cmd_Click(9);
        QTRY_COMPARE_WITH_TIMEOUT(mp_->playState(), 2, 20000);
        control_->Son_Click();
        QCOMPARE(mp_->playState(), 0);
        QCOMPARE(mp_->fileName(), QString());
        QVERIFY(!mp_->isEnabled());
    }

    // Whether the desktop names an MP3 application, as its xdg-mime says; a desktop that
    // cannot be asked is taken to have one.
    void systemPlayerAsked_data() {
        QTest::addColumn<QByteArray>("script"); // the xdg-mime found first on the path
        QTest::addColumn<bool>("found");
        QTest::newRow("names one") << QByteArray("echo vlc.desktop") << true;
        QTest::newRow("names none") << QByteArray("exit 0") << false;
        QTest::newRow("fails") << QByteArray("exit 3") << true;
        QTest::newRow("missing") << QByteArray() << true;
    }
    void systemPlayerAsked() {
        QFETCH(QByteArray, script);
        QFETCH(bool, found);
        QTemporaryDir bin;
        if (!script.isEmpty()) {
            QFile f(bin.filePath(QStringLiteral("xdg-mime")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\n" + script + "\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + (script.isEmpty() ? "" : ":/bin"));
        QObject context;
        std::optional<bool> answer;
        askForSystemPlayer(&context, [&](bool f) { answer = f; });
        qputenv("PATH", path);
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(*answer, found);
    }
};

QTEST_MAIN(TestPlaybackControl)
#include "tst_playback_control.moc"
