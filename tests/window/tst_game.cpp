// The built game, copied into a folder of its own, ended by a signal: its unload still runs.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString kName = QStringLiteral("dorlo-zidoduder-04");

// Whether the process already catches SIGTERM (its handler is set first thing in main).
bool catchesSigterm(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestGame : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QTemporaryDir home_;

    QString install() {
        const QString exe = dir_.filePath(kName);
        QFile::remove(exe);
        if (!QFile::copy(QStringLiteral(DORLO_GAME_PATH), exe))
            return {};
        const QString store = QStringLiteral(DORLO_BUILD_DIR "/Dorlo Zidoduder 04.dat");
        if (QFile::exists(store))
            QFile::copy(store, dir_.filePath(QFileInfo(store).fileName()));
        return exe;
    }

    int runUntil(int signal) {
        QProcess game;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home_.path());
        env.insert("XDG_DATA_HOME", home_.filePath("data"));
        game.setProcessEnvironment(env);
        game.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        game.start(dir_.filePath(kName), {});
        if (!game.waitForStarted(10000))
            return -1;
        QElapsedTimer waited;
        waited.start();
        while (!catchesSigterm(game.processId()) && waited.elapsed() < 20000)
            QTest::qWait(20);
        ::kill(pid_t(game.processId()), signal);
        if (!game.waitForFinished(60000)) {
            game.kill();
            return -2;
        }
        return game.exitStatus() == QProcess::NormalExit ? game.exitCode() : -3;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(!install().isEmpty());
    }

    void signalStillWritesTheAnswers_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalStillWritesTheAnswers() {
        QFETCH(int, signal);
        // Written elsewhere: bare LF line ends, blanks the start-up check trims.
        const QString rep = dir_.filePath(kName + ".REP");
        QFile f(rep);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(" 1:\n 2:  abc  \n");
        f.close();
        QCOMPARE(runUntil(signal), 0);
        QByteArray expected;
        for (int n = 1; n <= 30; ++n)
            expected +=
                (n < 10 ? " " : "") + QByteArray::number(n) + ":" + (n == 2 ? "abc" : "") + "\r\n";
        QCOMPARE(read(rep), expected);
    }

    void nothingTypedWritesNothing() {
        const QString rep = dir_.filePath(kName + ".REP");
        QFile::remove(rep);
        QCOMPARE(runUntil(SIGTERM), 0);
        QVERIFY(!QFile::exists(rep));
        QVERIFY(!QDir(home_.filePath("data")).exists(kName + "/" + kName + ".REP"));
    }
};

QTEST_GUILESS_MAIN(TestGame)
#include "tst_game.moc"
