// The embedded player against a real sound server: a private one whose null sink is
// recorded, so what was played, and how loud, is heard rather than assumed.
#include "data/clip_table.h"
#include "fixtures/test_stores.h"
#include "playback/media_player.h"
#include "sound_server.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using playback::MediaPlayer;

class TestMediaPlayer : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QByteArray frames_;
    testing::SoundServer server_;

    // What the playback control does with the notification.
    static void closeOnStop(MediaPlayer& mp) {
        QObject::connect(&mp, &MediaPlayer::PlayStateChange, &mp, [&mp](int, int now) {
            if (now == 0)
                mp.setFileName(QString());
        });
    }
    // Whether this process has the file open.
    static bool holds(const QString& path) {
        const QString target = QFileInfo(path).canonicalFilePath();
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System))
            if (fd.symLinkTarget() == target)
                return true;
        return false;
    }
    // Plays a clip to its end, recording the sink; the samples from the first one heard.
    std::vector<short> heard(const QString& path, int volume, int laterVolume = 0) {
        MediaPlayer mp;
        closeOnStop(mp);
        mp.setVolume(volume);
        server_.record();
        QTest::qWait(100);
        mp.setFileName(path);
        mp.Play();
        if (laterVolume) {
            QTest::qWait(250);
            mp.setVolume(laterVolume);
        }
        [&] {
            QTRY_COMPARE_WITH_TIMEOUT(mp.playState(), 0, 20000);
        }();
        QTest::qWait(100);
        std::vector<short> s = server_.samples();
        const auto onset =
            std::find_if(s.begin(), s.end(), [](short v) { return std::abs(v) > 100; });
        return std::vector<short>(onset, s.end());
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString problem = server_.start();
        if (!problem.isEmpty())
            QFAIL(qPrintable("no sound server for the test: " + problem));
        frames_ = testing::mp3Frames(1.2);
        QVERIFY(frames_.size() > 0);
        QCOMPARE(quint8(frames_[0]), quint8(0xff)); // a frame, no tag of lame's own
    }

    void gainFromHundredthsOfDb_data() {
        QTest::addColumn<int>("volume");
        QTest::addColumn<float>("gain");
        QTest::newRow("full") << 0 << 1.0f;
        QTest::newRow("-20 dB") << -2000 << 0.1f;
        QTest::newRow("-40 dB") << -4000 << 0.01f;
        QTest::newRow("above full is clamped") << 500 << 1.0f;
    }
    void gainFromHundredthsOfDb() {
        QFETCH(int, volume);
        QFETCH(float, gain);
        MediaPlayer mp;
        mp.setVolume(volume);
        QCOMPARE(mp.volume(), volume);
        QVERIFY(qAbs(mp.gain() - gain) < 1e-6f);
    }

    // Start-up never pays for the audio output; the window's first drawing brings it up.
    void outputOnceTheWindowIsDrawn() {
        QWidget window;
        auto* mp = new MediaPlayer(&window);
        QSignalSpy spy(mp, &MediaPlayer::PlayStateChange);
        mp->Stop();
        mp->setVolume(-469);
        mp->setEnabled(false);
        mp->setFileName(QString());
        mp->Play();
        QVERIFY(!mp->hasBackend());
        QVERIFY(!mp->isEnabled());
        QCOMPARE(spy, QList<QVariantList>{QVariantList({0, 0})}); // Stop's report, nothing else
        window.show();
        QTRY_VERIFY(mp->hasBackend());
    }

    void clipEndsByItself_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("made here") << QString();
        QTest::newRow("built store, clip 0")
            << QStringLiteral(DORLO_BUILD_DIR "/Dorlo Zidoduder 04.dat");
    }
    void clipEndsByItself() {
        QFETCH(QString, source);
        QByteArray clip;
        if (source.isEmpty()) {
            clip = testing::playableClip(edition::clipLength(17), frames_);
        } else {
            QFile store(source);
            if (!store.open(QIODevice::ReadOnly) || store.size() < edition::storeLength())
                QSKIP("the excerpt store has not been built");
            clip = store.read(edition::clipLength(0));
        }
        const QString path = dir_.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(path, clip));

        MediaPlayer mp;
        closeOnStop(mp);
        QSignalSpy spy(&mp, &MediaPlayer::PlayStateChange);
        QSignalSpy failed(&mp, &MediaPlayer::PlayFailed);
        mp.setVolume(-5184);
        mp.setFileName(path);
        mp.Play();
        QCOMPARE(mp.playState(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(mp.fileName(), QString(), 30000);
        QCOMPARE(mp.playState(), 0);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.first(), QVariantList({0, 2}));
        QCOMPARE(spy.last(), QVariantList({2, 0}));
        QCOMPARE(failed.size(), 0);
        QVERIFY(!holds(path));
    }

    void stop_data() {
        QTest::addColumn<bool>("playing");
        QTest::newRow("while playing") << true;
        QTest::newRow("when idle") << false;
    }
    void stop() {
        QFETCH(bool, playing);
        const QString path = dir_.filePath("Dorl.mp3");
        QVERIFY(testing::writeFile(path, testing::playableClip(edition::clipLength(9), frames_)));
        MediaPlayer mp;
        closeOnStop(mp);
        QSignalSpy spy(&mp, &MediaPlayer::PlayStateChange);
        mp.setFileName(path);
        if (playing) {
            mp.Play();
            QTest::qWait(200);
        }
        mp.Stop();
        QCOMPARE(mp.playState(), 0);
        // Stopped is reported, idle or not, so the file is closed either way.
        QCOMPARE(spy.size(), playing ? 2 : 1);
        QCOMPARE(spy.last(), QVariantList({playing ? 2 : 0, 0}));
        QCOMPARE(mp.fileName(), QString());
        QVERIFY(!holds(path));
        // Nothing of the stopped play comes back later.
        QTest::qWait(1500);
        QCOMPARE(spy.size(), playing ? 2 : 1);
    }

    void volumeApplied_data() {
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("later");
        QTest::newRow("-20 dB from the start") << -2000 << 0;
        QTest::newRow("-20 dB while playing") << 0 << -2000;
    }
    void volumeApplied() {
        QFETCH(int, volume);
        QFETCH(int, later);
        const QString path = dir_.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(path, testing::playableClip(edition::clipLength(9), frames_)));
        const std::vector<short> full = heard(path, 0);
        const std::vector<short> quiet = heard(path, volume, later);
        QVERIFY2(full.size() > 12000 && quiet.size() > 12000, "the clip was not heard");
        // Well after the change, the same stretch of the clip at both levels.
        const double ratio =
            double(testing::peak(quiet, 14400, 21600)) / testing::peak(full, 14400, 21600);
        QVERIFY2(ratio > 0.08 && ratio < 0.125, qPrintable(QString::number(ratio)));
    }

    // A damaged file: one line, and the player does not stay "playing".
    void damagedFile() {
        const QString path = dir_.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(path, testing::patternStore(edition::clipLength(5))));
        MediaPlayer mp;
        closeOnStop(mp);
        QSignalSpy failed(&mp, &MediaPlayer::PlayFailed);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot play .*Dorlo.mp3"));
        mp.setFileName(path);
        mp.Play();
        QCOMPARE(mp.playState(), 0);
        QCOMPARE(failed.size(), 1);
    }

    // A server that takes no call: the play fails after 2 s with one line, and the next play,
    // the server answering again, plays. Stopped before the player connects, or after.
    void serverThatHangs_data() {
        QTest::addColumn<bool>("connected");
        QTest::newRow("before connecting") << false;
        QTest::newRow("once connected") << true;
    }
    void serverThatHangs() {
        QFETCH(bool, connected);
        const QString path = dir_.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(path, testing::playableClip(edition::clipLength(9), frames_)));
        if (!connected)
            server_.pause(true);
        MediaPlayer mp;
        closeOnStop(mp);
        QSignalSpy failed(&mp, &MediaPlayer::PlayFailed);
        mp.setFileName(path);
        if (connected) {
            QTest::qWait(500);
            server_.pause(true);
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Dorlo: cannot play .*Dorlo.mp3: .*not answer"));
        QTest::failOnWarning(QRegularExpression("cannot play"));
        mp.Play();
        QTest::qWait(1000);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(mp.playState(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
        QCOMPARE(mp.playState(), 0);
        QCOMPARE(mp.fileName(), QString());
        server_.pause(false);
        mp.setFileName(path);
        mp.Play();
        QTRY_COMPARE_WITH_TIMEOUT(mp.fileName(), QString(), 30000); // played to its end
        QCOMPARE(failed.size(), 1);
    }

    // A stream the sound server's library refuses to create ends the play as any failure
    // does, whether the play waited for the connection or not. No MP3 file brings that
    // about: the test runs again with the audio output built to have its streams refused.
    void streamRefused() {
        if (!qEnvironmentVariable("DORLO_MEDIA_MODULE").endsWith("libdorlo-media-refusing.so"))
            QSKIP("needs the audio output built to refuse its streams");
        const QString path = dir_.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(path, testing::playableClip(edition::clipLength(9), frames_)));
        MediaPlayer mp;
        closeOnStop(mp);
        QSignalSpy failed(&mp, &MediaPlayer::PlayFailed);
        for (int play = 1; play <= 2; ++play) {
            QTest::ignoreMessage(
                QtWarningMsg, QRegularExpression("^Dorlo: cannot play .*Dorlo.mp3: sound server"));
            mp.setFileName(path);
            mp.Play();
            QTRY_COMPARE(mp.playState(), 0);
            QCOMPARE(failed.size(), play);
            QCOMPARE(mp.fileName(), QString());
        }
        QTest::failOnWarning(QRegularExpression("cannot play"));
        QTest::qWait(300);
        QCOMPARE(failed.size(), 2);
    }

    // No server, or one that dies mid-play: one line and a failed play each time, the
    // player stopped and the file closed, ready for the next play. Last: the server goes.
    void withoutServer_data() {
        QTest::addColumn<bool>("dies");
        QTest::newRow("server dies mid-play") << true;
        QTest::newRow("no server") << false;
    }
    void withoutServer() {
        QFETCH(bool, dies);
        const QString path = dir_.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(path, testing::playableClip(edition::clipLength(17), frames_)));
        MediaPlayer mp;
        closeOnStop(mp);
        QSignalSpy failed(&mp, &MediaPlayer::PlayFailed);
        mp.setFileName(path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Dorlo: cannot play .*Dorlo.mp3"));
        QTest::failOnWarning(QRegularExpression("cannot play"));
        mp.Play();
        if (dies) {
            QTest::qWait(300);
            QCOMPARE(failed.size(), 0);
            server_.kill();
        }
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
        QTRY_COMPARE(mp.playState(), 0);
        if (dies)
            QCOMPARE(mp.fileName(), QString()); // stopped, so the control closed it
        QVERIFY(!holds(path));
        QTest::qWait(300);
        QCOMPARE(failed.size(), 1);
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "tst_media_player.moc"
