// The embedded player over Qt Multimedia, with real clips played headless.
#include "data/clip_table.h"
#include "playback/media_player.h"
#include "test_stores.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using playback::MediaPlayer;

class MediaPlayerTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QByteArray frames_;

    // What the playback control does with the notification.
    static void closeOnStop(MediaPlayer& mp) {
        QObject::connect(&mp, &MediaPlayer::PlayStateChange, &mp, [&mp](int, int now) {
            if (now == 0)
                mp.setFileName(QString());
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        frames_ = testing::mp3Frames(0.6);
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

    // Start-up and shutdown never pay for the media backend.
    void backendOnlyWhenAFileIsOpened() {
        MediaPlayer mp;
        QSignalSpy spy(&mp, &MediaPlayer::PlayStateChange);
        mp.Stop();
        mp.setVolume(-469);
        mp.setEnabled(false);
        mp.setFileName(QString());
        mp.Play();
        QVERIFY(!mp.hasBackend());
        QVERIFY(!mp.isEnabled());
        QCOMPARE(spy.size(), 0);
        QCOMPARE(qgetenv("QT_MEDIA_BACKEND"), QByteArray("gstreamer"));
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
        mp.setVolume(-5184);
        mp.setFileName(path);
        mp.Play();
        QTRY_COMPARE_WITH_TIMEOUT(mp.playState(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(mp.fileName(), QString(), 30000);
        QCOMPARE(mp.playState(), 0);
        QCOMPARE(spy.first(), QVariantList({0, 2}));
        QCOMPARE(spy.last(), QVariantList({2, 0}));
    }

    void stopWhilePlaying() {
        const QString path = dir_.filePath("Dorl.mp3");
        QVERIFY(testing::writeFile(path, testing::playableClip(edition::clipLength(9), frames_)));
        MediaPlayer mp;
        closeOnStop(mp);
        mp.setFileName(path);
        mp.Play();
        QTRY_COMPARE_WITH_TIMEOUT(mp.playState(), 2, 20000);
        mp.Stop();
        QCOMPARE(mp.playState(), 0);
        QCOMPARE(mp.fileName(), QString());
    }

    // A damaged file: one line, and the player does not stay "playing".
    void damagedFile() {
        const QString path = dir_.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(path, testing::patternStore(edition::clipLength(5))));
        MediaPlayer mp;
        closeOnStop(mp);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot play .*Dorlo.mp3"));
        mp.setFileName(path);
        mp.Play();
        QTest::qWait(3000);
        QCOMPARE(mp.playState(), 0);
    }
};

QTEST_MAIN(MediaPlayerTest)
#include "tst_media_player.moc"
