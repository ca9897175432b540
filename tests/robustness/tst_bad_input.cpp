// Bad input, one case per row: damaged or misplaced answers files, a missing or damaged
// excerpt store, a missing or unwritable temporary folder, a link planted at "Dorlo.mp3",
// extreme window sizes. Each ends with the window up, nothing lost, and one diagnostic line
// on stderr where the case is an error.
#include "layout/form_layout.h"
#include "playback/playback_control.h"
#include "window/frm_dorlo.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kName = QStringLiteral("game");
const QString kStore = QStringLiteral("Dorlo Zidoduder 04.dat");

// Everything a case may spoil: the program folder, the per-user folder, the temporary one.
struct Env {
    QTemporaryDir root;
    QString program = root.filePath(QStringLiteral("program"));
    QString user = root.filePath(QStringLiteral("user"));
    QString temp = root.filePath(QStringLiteral("temp"));
    QString answers() const { return program + QStringLiteral("/game.REP"); }
    QString fallback() const { return user + QStringLiteral("/game.REP"); }
    QString store() const { return program + u'/' + kStore; }
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QByteArray realStore() {
    return readFile(QStringLiteral(DORLO_BUILD_DIR "/") + kStore);
}

// Thirty answers that none of the questions accepts, so the window keeps them as typed.
QByteArray lines(const QByteArray& end, int from = 1) {
    QByteArray out;
    for (int n = from; n <= 30; ++n)
        out += (n < 10 ? " " : "") + QByteArray::number(n) + ":r\xE9ponse " +
               QByteArray::number(n) + end;
    return out;
}
QString answerOf(int n) {
    return QStringLiteral("réponse %1").arg(n);
}

enum class Diag { No, Yes, Any };
enum class Saved { Beside, Fallback };

struct Case {
    const char* name;
    std::function<void(Env&)> setup;
    int restored = 0;     // answers restored: 30, or questions 2..30 when -29, or none
    Diag diag = Diag::No; // a line on stderr at start-up, play or close
    Saved saved = Saved::Beside;
    bool play = false; // press play 1; the clip must reach the player iff `played`
    bool played = false;
    bool nonRoot = false;                 // permissions do not stop root: run as nobody
    QSize size = {};                      // the window's size, when the case is about it
    std::function<void(Env&)> after = {}; // further checks once the window is closed
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = [] {
        std::vector<Case> c;
        c.push_back({.name = "answers empty", .setup = [](Env& e) {
                         writeFile(e.answers(), {});
                     }});
        c.push_back({.name = "answers binary garbage", .setup = [](Env& e) {
                         QRandomGenerator random(6);
                         QByteArray bytes(4096, Qt::Uninitialized);
                         for (char& b : bytes)
                             b = char(random.bounded(256));
                         writeFile(e.answers(), bytes);
                     }});
        c.push_back({.name = "answers 50 MB in one line",
                     .setup =
                         [](Env& e) {
                             writeFile(e.answers(), " 1:" + QByteArray(50 << 20, 'x') + "\r\n" +
                                                        lines("\r\n", 2));
                         },
                     .restored = -29,
                     .diag = Diag::Yes});
        c.push_back({.name = "answers CR only",
                     .setup = [](Env& e) { writeFile(e.answers(), lines("\r")); },
                     .restored = 30});
        c.push_back({.name = "answers LF only",
                     .setup = [](Env& e) { writeFile(e.answers(), lines("\n")); },
                     .restored = 30});
        c.push_back({.name = "answers a directory",
                     .setup = [](Env& e) { QVERIFY(QDir().mkpath(e.answers() + "/inside")); },
                     .diag = Diag::Yes,
                     .saved = Saved::Fallback,
                     .after =
                         [](Env& e) {
                             QVERIFY(QFileInfo(e.answers() + "/inside").isDir());
                         }});
        c.push_back(
            {.name = "answers a FIFO",
             .setup = [](Env& e) { QCOMPARE(::mkfifo(QFile::encodeName(e.answers()), 0600), 0); },
             .diag = Diag::Yes,
             .saved = Saved::Fallback,
             .after =
                 [](Env& e) {
                     QVERIFY(!QFileInfo(e.answers()).isFile());
                 }});
        c.push_back({.name = "answers unreadable",
                     .setup =
                         [](Env& e) {
                             writeFile(e.answers(), lines("\r\n"));
                             QVERIFY(QFile::setPermissions(e.answers(), {}));
                         },
                     .diag = Diag::Yes,
                     .saved = Saved::Fallback,
                     .nonRoot = true,
                     .after =
                         [](Env& e) {
                             QFile::setPermissions(e.answers(), QFile::ReadOwner);
                             QCOMPARE(readFile(e.answers()), lines("\r\n"));
                         }});
        c.push_back(
            {.name = "answers on a read-only folder",
             .setup =
                 [](Env& e) {
                     writeFile(e.answers(), lines("\r\n"));
                     QVERIFY(QFile::setPermissions(e.program, QFile::ReadOwner | QFile::ExeOwner));
                 },
             .restored = 30,
             .diag = Diag::Any,
             .saved = Saved::Fallback,
             .nonRoot = true});
        c.push_back({.name = "store missing",
                     .setup = [](Env& e) { QFile::remove(e.store()); },
                     .diag = Diag::Yes,
                     .play = true});
        c.push_back({.name = "store empty",
                     .setup = [](Env& e) { writeFile(e.store(), {}); },
                     .diag = Diag::Yes,
                     .play = true});
        c.push_back({.name = "store shorter than the table",
                     .setup =
                         [](Env& e) {
                             const QByteArray store = realStore();
                             writeFile(e.store(), store.first(store.size() / 2));
                         },
                     .diag = Diag::Yes,
                     .play = true});
        c.push_back({.name = "store a directory",
                     .setup =
                         [](Env& e) {
                             QFile::remove(e.store());
                             QVERIFY(QDir().mkpath(e.store()));
                         },
                     .diag = Diag::Yes,
                     .play = true});
        c.push_back({.name = "store unreadable",
                     .setup = [](Env& e) { QVERIFY(QFile::setPermissions(e.store(), {})); },
                     .diag = Diag::Yes,
                     .play = true,
                     .nonRoot = true});
        c.push_back({.name = "temporary folder missing",
                     .setup = [](Env& e) { QVERIFY(QDir(e.temp).removeRecursively()); },
                     .diag = Diag::Yes,
                     .play = true});
        c.push_back({.name = "temporary folder unwritable",
                     .setup =
                         [](Env& e) {
                             QVERIFY(
                                 QFile::setPermissions(e.temp, QFile::ReadOwner | QFile::ExeOwner));
                         },
                     .diag = Diag::Yes,
                     .play = true,
                     .nonRoot = true});
        c.push_back({.name = "link planted at Dorlo.mp3",
                     .setup =
                         [](Env& e) {
                             writeFile(e.root.filePath("victim"), "keep");
                             QVERIFY(QFile::link(e.root.filePath("victim"), e.temp + "/Dorlo.mp3"));
                         },
                     .diag = Diag::Any,
                     .play = true,
                     .played = true,
                     .after =
                         [](Env& e) {
                             QCOMPARE(readFile(e.root.filePath("victim")), "keep");
                         }});
        c.push_back({.name = "window of 1 x 1 pixel", .setup = [](Env&) {}, .size = QSize(1, 1)});
        c.push_back(
            {.name = "window beyond 32767 twips", .setup = [](Env&) {}, .size = QSize(2500, 2300)});
        return c;
    }();
    return all;
}

// Collects what goes to stderr, by the C library or by Qt's messages, while it lives.
class StderrCapture {
public:
    StderrCapture() {
        file_.open();
        std::fflush(stderr);
        saved_ = ::dup(2);
        ::dup2(file_.handle(), 2);
        current_ = this;
        previous_ =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& msg) {
                current_->messages_ += msg + u'\n';
            });
    }
    ~StderrCapture() { stop(); }
    QString text() {
        stop();
        file_.seek(0);
        return QString::fromLocal8Bit(file_.readAll()) + messages_;
    }

private:
    void stop() {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
        qInstallMessageHandler(previous_);
    }
    QTemporaryFile file_;
    int saved_ = -1;
    QString messages_;
    QtMessageHandler previous_ = nullptr;
    static inline StderrCapture* current_ = nullptr;
};

int ourLines(const QString& err) {
    int n = 0;
    for (const QString& line : err.split(u'\n'))
        n += line.startsWith(QStringLiteral("dorlo"), Qt::CaseInsensitive);
    return n;
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void matrix_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(cases().size()); ++i)
            QTest::newRow(cases()[i].name) << i;
    }

    void matrix() {
        QFETCH(int, row);
        const Case& c = cases()[row];
        if (c.nonRoot && ::geteuid() == 0) {
            runAsNobody(QTest::currentDataTag());
            return;
        }
        Env e;
        QVERIFY(e.root.isValid());
        for (const QString& d : {e.program, e.user, e.temp})
            QVERIFY(QDir().mkpath(d));
        writeFile(e.store(), realStore());
        QVERIFY(QFile::exists(e.store()));
        const QByteArray tmpDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(e.temp));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(e.program,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(e.temp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            if (tmpDir.isNull())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", tmpDir);
        });
        c.setup(e);
        if (QTest::currentTestFailed())
            return;

        window::ProgramSettings s;
        s.folder = e.program;
        s.executableName = kName;
        s.fallbackFolder = e.user;
        qint64 now = 1'000'000;
        s.clock = [&now] {
            return now;
        };

        std::array<QString, 31> held;
        QString err;
        {
            StderrCapture capture;
            window::FrmDorlo form(s);
            form.openUrl = [](const QUrl&) {
            };
            QStringList played;
            form.playback()->playEmbedded = [&played](const QString& path) {
                played << path;
            };
            if (c.size.isValid()) {
                form.show();
                form.resize(c.size);
            } else {
                form.show();
            }
            QCoreApplication::processEvents();
            QVERIFY(form.isVisible());

            if (c.restored == 30 || c.restored == -29) {
                for (int n = (c.restored == 30 ? 1 : 2); n <= 30; ++n)
                    QCOMPARE(form.Txt[n]->text(), answerOf(n));
            } else if (c.restored == 0 && c.saved == Saved::Fallback) {
                for (int n = 1; n <= 30; ++n)
                    QCOMPARE(form.Txt[n]->text(), QString());
            }
            if (c.play) {
                form.playback()->Cmd_Click(30); // the last clip: a short store lacks it
                QCOMPARE(played.size(), c.played ? 1 : 0);
                if (c.played) {
                    QVERIFY(QFileInfo(played[0]).isFile() && !QFileInfo(played[0]).isSymLink());
                    QCOMPARE(QFileInfo(played[0]).absolutePath(), QDir(e.temp).absolutePath());
                }
            }
            if (c.size.isValid())
                checkLayout(form, c.size);

            // The player's own answer, and then the window closes.
            form.Txt[30]->Tag = QStringLiteral("ma nouvelle réponse");
            form.Txt[30]->setText(form.Txt[30]->Tag);
            form.Verifie(30);
            for (int n = 1; n <= 30; ++n)
                held[n] = form.Txt[n]->text();
            form.close();
            QVERIFY(form.unloaded());
            err = capture.text();
        }

        // Nothing lost: what the window held is on disk where the case puts it.
        const QString where = c.saved == Saved::Beside ? e.answers() : e.fallback();
        const window::SavedAnswers back = window::parseSavedAnswers(readFile(where));
        for (int n = 1; n <= 30; ++n)
            QCOMPARE(back.answers[n], held[n]);
        QCOMPARE(held[30], QStringLiteral("ma nouvelle réponse"));

        const int diagnostics = ourLines(err);
        if (c.diag == Diag::Yes)
            QVERIFY2(diagnostics >= 1 && diagnostics <= 2, qPrintable(err));
        else if (c.diag == Diag::No)
            QVERIFY2(diagnostics == 0, qPrintable(err));

        // The next start finds the answers where they were saved.
        StderrCapture quiet;
        window::FrmDorlo again(s);
        for (int n = 1; n <= 30; ++n)
            QCOMPARE(again.Txt[n]->text(), held[n]);
        if (c.after)
            c.after(e);
    }

private:
    // No value wraps: every size is positive and the panels fit the area they are laid in;
    // the large window goes past 16 bits of twips without turning negative.
    static void checkLayout(window::FrmDorlo& form, QSize size) {
        const auto r = layout::lastLayout(form.formControls());
        QVERIFY(r.has_value());
        QCOMPARE(form.size(), size);
        for (const auto* bar : {&r->vScroll, &r->hScroll})
            QVERIFY(bar->maximum >= 0 && bar->pageStep >= 0 && bar->length >= 0);
        QCOMPARE(form.VScroll->maximum(), r->vScroll.maximum);
        QCOMPARE(form.HScroll->maximum(), r->hScroll.maximum);
        for (QScrollBar* bar : {form.VScroll, form.HScroll})
            QVERIFY(bar->value() >= 0 && bar->value() <= bar->maximum());
        QVERIFY(r->zoneT0Width >= 0 && r->zoneP1Width >= 0 && r->zoneP1Height >= 0);
        QVERIFY(r->tw >= 0 && r->ph >= 0 && r->zoneP2Width >= 0 && r->zoneP2Height >= 0);
        if (size.width() * 15 > 32767)
            QVERIFY(r->zoneP1Width > 32767 && r->zoneT0Width > 32767);
        for (int n = 1; n <= 30; ++n) {
            const auto& p = r->panel[n];
            QVERIFY(p.left >= 0 && p.top >= 0 && p.width >= 0 && p.height >= 0);
            QVERIFY(p.left + p.width <= r->zoneP2Width && p.top + p.height <= r->zoneP2Height);
            QVERIFY(form.Shape[n]->width() >= 0 && form.Txt[n]->width() >= 0);
        }
    }

    // Root reads and writes whatever the permissions say: the row runs again, as nobody.
    static void runAsNobody(const QString& tag) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("running as root, and setpriv is missing to run this case as nobody");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR")); // root's, which nobody may not use
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        env.insert(QStringLiteral("TMPDIR"), QDir::tempPath());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(setpriv,
                    {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                     QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                     QStringLiteral("matrix:") + tag});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 out.constData());
        QVERIFY2(out.contains("PASS   : TestBadInput::matrix("), out.constData());
    }
};

QTEST_MAIN(TestBadInput)
#include "tst_bad_input.moc"
