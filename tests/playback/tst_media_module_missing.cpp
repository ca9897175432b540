// The embedded player when its media module cannot be loaded (DORLO_MEDIA_MODULE names a
// missing file or one that is no module): one line, then a player that plays nothing.
#include "data/clip_table.h"
#include "fixtures/test_stores.h"
#include "playback/media_player.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using playback::MediaPlayer;

class TestMediaModuleMissing : public QObject {
    Q_OBJECT

private slots:
    void playsNothingAndSaysSoOnce() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("Dorlo.mp3");
        QVERIFY(testing::writeFile(
            path, testing::playableClip(edition::clipLength(3), testing::mp3Frames(0.6))));

        MediaPlayer mp;
        QSignalSpy spy(&mp, &MediaPlayer::PlayStateChange);
        mp.setVolume(-2000);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Dorlo: no embedded player"));
        mp.setFileName(path);
        QTest::failOnWarning(QRegularExpression("no embedded player"));
        mp.Play();
        QTest::qWait(500);
        QVERIFY(!mp.hasBackend());
        QCOMPARE(mp.playState(), 0);
        QCOMPARE(spy.size(), 0);
        QCOMPARE(mp.fileName(), path);
        QVERIFY(qAbs(mp.gain() - 0.1f) < 1e-6f);

        // Stopping and closing still answer; a second player does not repeat the line.
        mp.Stop();
        mp.setFileName(QString());
        MediaPlayer other;
        other.setFileName(path);
        other.Play();
        other.Stop();
        QTest::qWait(100);
        QCOMPARE(other.playState(), 0);
        QCOMPARE(spy, QList<QVariantList>{QVariantList({0, 0})}); // Stop's report alone
    }
};

QTEST_MAIN(TestMediaModuleMissing)
#include "tst_media_module_missing.moc"
