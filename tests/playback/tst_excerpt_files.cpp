// Cutting clips out of the store into the two alternating temporary files.
#include "data/clip_table.h"
#include "fixtures/test_stores.h"
#include "playback/excerpt_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using edition::clipLength;
using edition::clipStart;
using edition::storeLength;
using playback::ExcerptFiles;

class TestExcerptFiles : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    ExcerptFiles files_;

    QString temp() const { return dir_.filePath("tmp/"); }
    void useStore(const QByteArray& bytes) { QVERIFY(testing::writeFile(files_.CheminDat, bytes)); }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(temp()));
        files_ = ExcerptFiles{};
        files_.CheminDat = playback::storePath(dir_.path());
        files_.DossierTemp = temp();
    }

    void clipBytes_data() {
        QTest::addColumn<qint64>("extra");
        QTest::addColumn<int>("k");
        for (qint64 extra : {qint64{0}, qint64{4097}})
            for (int k : {0, 1, 9, 17, 30})
                QTest::addRow("store+%lld clip %d", static_cast<long long>(extra), k) << extra << k;
    }
    void clipBytes() {
        QFETCH(qint64, extra);
        QFETCH(int, k);
        const QByteArray store = testing::patternStore(storeLength() + extra);
        useStore(store);
        files_.chooseNextName();
        QVERIFY(files_.extract(k));
        const QByteArray clip = testing::readFile(files_.FichierMP3);
        QCOMPARE(clip.size(), clipLength(k));
        QCOMPARE(testing::wordAt(clip, 0), quint32(edition::kDebuts[k]));
        QCOMPARE(clip, store.mid(clipStart(k), clipLength(k)));
        QCOMPARE(QFileInfo(files_.FichierMP3).permissions() & 0x0077, QFile::Permissions{});
    }

    void firstAndLastClip() {
        useStore(testing::patternStore(storeLength()));
        files_.chooseNextName();
        QVERIFY(files_.extract(0));
        QCOMPARE(QFileInfo(files_.FichierMP3).size(), 632);
        files_.chooseNextName();
        QVERIFY(files_.extract(30));
        const QByteArray clip = testing::readFile(files_.FichierMP3);
        QCOMPARE(clip.size(), 60840);
        // The last word of the store starts at byte 1364720 and ends at 1364723.
        QCOMPARE(testing::wordAt(clip, clip.size() - 4), quint32(1364720 / 4));
    }

    void namesAlternate() {
        useStore(testing::patternStore(storeLength()));
        QStringList names;
        QByteArray first;
        for (int i = 0; i < 3; ++i) {
            files_.chooseNextName();
            QVERIFY(files_.extract(12));
            names << QFileInfo(files_.FichierMP3).fileName();
            const QByteArray bytes = testing::readFile(files_.FichierMP3);
            if (i == 0)
                first = bytes;
            QCOMPARE(bytes, first);
        }
        QCOMPARE(names, QStringList({"Dorlo.mp3", "Dorl.mp3", "Dorlo.mp3"}));
        QCOMPARE(files_.FichierMP3, temp() + "Dorlo.mp3");
        QVERIFY(QFileInfo::exists(temp() + "Dorl.mp3"));
    }

    void longerOldFileReplaced() {
        const QByteArray store = testing::patternStore(storeLength());
        useStore(store);
        QVERIFY(testing::writeFile(temp() + "Dorlo.mp3", QByteArray(200000, 'x')));
        files_.chooseNextName();
        QVERIFY(files_.extract(0));
        QCOMPARE(testing::readFile(files_.FichierMP3), store.left(632));
    }

    // Whatever is planted under the name, it is never written through.
    void plantedLinkNotFollowed_data() {
        QTest::addColumn<bool>("targetExists");
        QTest::newRow("link to a file") << true;
        QTest::newRow("dangling link") << false;
    }
    void plantedLinkNotFollowed() {
        QFETCH(bool, targetExists);
        const QByteArray store = testing::patternStore(storeLength());
        useStore(store);
        const QString victim = dir_.filePath("victim");
        if (targetExists)
            QVERIFY(testing::writeFile(victim, "precious"));
        QVERIFY(QFile::link(victim, temp() + "Dorlo.mp3"));
        files_.chooseNextName();
        QVERIFY(files_.extract(1));
        QVERIFY(!QFileInfo(files_.FichierMP3).isSymLink());
        QCOMPARE(testing::readFile(files_.FichierMP3), store.mid(clipStart(1), clipLength(1)));
        QCOMPARE(QFileInfo::exists(victim), targetExists);
        if (targetExists)
            QCOMPARE(testing::readFile(victim), QByteArray("precious"));
    }

    void directoryAtNameRefused() {
        useStore(testing::patternStore(storeLength()));
        QVERIFY(QDir().mkpath(temp() + "Dorlo.mp3/inside"));
        files_.chooseNextName();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot create .*Dorlo.mp3"));
        QVERIFY(!files_.extract(1));
        QVERIFY(QFileInfo(temp() + "Dorlo.mp3/inside").isDir());
    }

    void unwritableFolder() {
        useStore(testing::patternStore(storeLength()));
        files_.DossierTemp = dir_.filePath("absent/");
        files_.chooseNextName();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot create .*absent/Dorlo.mp3"));
        QVERIFY(!files_.extract(1));
    }

    void badStore_data() {
        QTest::addColumn<int>("kind"); // 0 missing, 1 empty, 2 short, 3 a folder
        QTest::addColumn<QString>("word");
        QTest::newRow("missing") << 0 << "introuvable";
        QTest::newRow("empty") << 1 << "incomplet";
        QTest::newRow("short") << 2 << "incomplet";
        QTest::newRow("folder") << 3 << "illisible";
    }
    void badStore() {
        QFETCH(int, kind);
        QFETCH(QString, word);
        if (kind == 1)
            useStore({});
        if (kind == 2)
            useStore(testing::patternStore(storeLength() - 1));
        if (kind == 3)
            QVERIFY(QDir().mkpath(files_.CheminDat));
        QVERIFY(testing::writeFile(temp() + "Dorlo.mp3", "old"));

        files_.chooseNextName();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Dorlo Zidoduder 04.dat"));
        QVERIFY(!files_.extract(30));
        QVERIFY(!QFileInfo::exists(files_.FichierMP3));

        const QString problem = files_.storeProblem();
        QVERIFY2(problem.contains(word), qPrintable(problem));
        QVERIFY(problem.contains(files_.CheminDat));
    }

    void shortStoreStillHoldsEarlyClips() {
        useStore(testing::patternStore(clipStart(2)));
        files_.chooseNextName();
        QVERIFY(files_.extract(1));
        QCOMPARE(QFileInfo(files_.FichierMP3).size(), clipLength(1));
    }

    void goodStoreHasNoProblem() {
        useStore(testing::patternStore(storeLength()));
        QCOMPARE(files_.storeProblem(), QString());
    }

    void temporaryFolderChoice_data() {
        QTest::addColumn<QString>("tmpDir");
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<QString>("expected");
        QTest::newRow("TMPDIR") << "/home/u/tmp"
                                << "/run/user/7"
                                << "/home/u/tmp/";
        QTest::newRow("TMPDIR with slash") << "/home/u/tmp/"
                                           << ""
                                           << "/home/u/tmp/";
        QTest::newRow("runtime folder") << ""
                                        << "/run/user/7"
                                        << "/run/user/7/";
        QTest::newRow("program folder") << ""
                                        << ""
                                        << "/opt/dorlo/";
    }
    void temporaryFolderChoice() {
        QFETCH(QString, tmpDir);
        QFETCH(QString, runtimeDir);
        QFETCH(QString, expected);
        QCOMPARE(playback::chooseTemporaryFolder(tmpDir, runtimeDir, "/opt/dorlo"), expected);
    }

    void temporaryFolderFromEnvironment() {
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", dir_.path().toUtf8());
        QCOMPARE(playback::temporaryFolder("/opt/dorlo"), dir_.path() + "/");
        qputenv("TMPDIR", "");
        const QString runtime = playback::temporaryFolder("/opt/dorlo");
        QVERIFY(runtime.endsWith('/'));
        QVERIFY(runtime != "/opt/dorlo/" ||
                QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).isEmpty());
        if (saved.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", saved);
    }

    void noTemporaryFolderMeansProgramFolder() {
        // As the program does it: the chosen folder, then the file right inside it.
        useStore(testing::patternStore(storeLength()));
        files_.DossierTemp = playback::chooseTemporaryFolder({}, {}, dir_.path());
        files_.chooseNextName();
        QVERIFY(files_.extract(0));
        QCOMPARE(files_.FichierMP3, dir_.filePath("Dorlo.mp3"));
        QCOMPARE(QFileInfo(files_.FichierMP3).size(), 632);
    }
};

QTEST_GUILESS_MAIN(TestExcerptFiles)
#include "tst_excerpt_files.moc"
