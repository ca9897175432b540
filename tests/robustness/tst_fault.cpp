// The answers file under SIGKILL: a child saves it in a loop through the game's own code
// and is killed at random moments; the file is always one of the two contents, whole.
#include "two_contents.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts the saver and waits for its first save to be done.
pid_t startSaver(const QByteArray& folder) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    char* argv[] = {const_cast<char*>(ROBUSTNESS_SAVER), const_cast<char*>(folder.constData()),
                    nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, ROBUSTNESS_SAVER, &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char c = 0;
    if (pid > 0 && ::read(out[0], &c, 1) != 1) { // it died before its first save
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ::close(out[0]);
    return pid;
}

} // namespace

class TestFault : public QObject {
    Q_OBJECT
private slots:
    void fileIsWholeAfterEveryKill() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("game.REP"));
        const QByteArray old = robustness::oldContent();
        const QByteArray fresh = robustness::newContent();
        QVERIFY(old != fresh);

        QRandomGenerator random(20240604);
        int seen[2] = {0, 0};
        for (int kill = 0; kill < 200; ++kill) {
            const pid_t pid = startSaver(QFile::encodeName(dir.path()));
            QVERIFY2(pid > 0, "the saver did not start");
            ::usleep(random.bounded(4000u)); // 0 to 4 ms: tens of saves
            ::kill(pid, SIGKILL);
            int status = 0;
            QCOMPARE(::waitpid(pid, &status, 0), pid);
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL,
                     "the saver stopped by itself: a save failed");

            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY2(bytes == old || bytes == fresh,
                     qPrintable(QStringLiteral("kill %1: %2 bytes, neither content")
                                    .arg(kill)
                                    .arg(bytes.size())));
            ++seen[bytes == fresh];
        }
        // A kill between the save's two last steps (its temporary file linked under a name,
        // then renamed over the file) leaves that whole copy behind; never a partial one.
        const QDir folder(dir.path());
        int leftovers = 0;
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
            if (name == QStringLiteral("game.REP"))
                continue;
            ++leftovers;
            QVERIFY2(name.startsWith(QStringLiteral("game.REP.")), qPrintable(name));
            QFile copy(folder.filePath(name));
            QVERIFY(copy.open(QIODevice::ReadOnly));
            const QByteArray bytes = copy.readAll();
            QVERIFY2(bytes == old || bytes == fresh, qPrintable(name));
        }
        qInfo("%d temporary copies left by the kills", leftovers);
        // Both contents must have been caught, or the kills were not random enough.
        QVERIFY(seen[0] > 0 && seen[1] > 0);
        qInfo("old %d times, new %d times", seen[0], seen[1]);
    }
};

QTEST_GUILESS_MAIN(TestFault)
#include "tst_fault.moc"
