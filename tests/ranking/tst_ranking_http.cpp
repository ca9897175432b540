// The ranking server end to end: a real process on loopback, on SQLite and on a throw-away
// PostgreSQL cluster, with a real browser for the page.
#include "fixtures/server_process.h"

#include "ranking/code_book.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

#include <sqlite3.h>

#include <thread>

namespace {

std::string json(const std::string& pseudo, const std::string& code, int padding = 0) {
    QJsonObject o{{"pseudo", QString::fromStdString(pseudo)},
                  {"code", QString::fromStdString(code)}};
    if (padding > 0)
        o.insert("marge", QString(padding, u'x'));
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

// Removes the ranking table behind the server's back.
bool dropTable(const QString& database) {
    const QByteArray target = database.toUtf8();
    if (database.startsWith("sqlite:")) {
        sqlite3* db = nullptr;
        const bool dropped =
            sqlite3_open(target.constData() + 7, &db) == SQLITE_OK &&
            sqlite3_exec(db, "DROP TABLE ranking", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return dropped;
    }
    PGconn* c = PQconnectdb(target.constData());
    PGresult* r = PQexec(c, "DROP TABLE ranking");
    const bool dropped = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    PQfinish(c);
    return dropped;
}

int status(const httplib::Result& r) {
    return r ? r->status : -100 - static_cast<int>(r.error());
}

} // namespace

class TestRankingHttp : public QObject {
    Q_OBJECT

    const ranking::CodeBook codes_ = ranking::CodeBook::ofThisEdition();
    ScratchCluster cluster_;
    QTemporaryDir files_;
    int databases_ = 0;

    std::string code(int n, bool eligible = true) const {
        return codes_.codeOf({n, eligible}).toStdString();
    }
    static void backends() {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("postgresql") << "postgresql";
    }
    // An empty database on the current row's engine; empty when it cannot be had.
    QString database() {
        QFETCH(QString, backend);
        if (backend == "sqlite")
            return "sqlite:" + files_.filePath(QStringLiteral("r%1.sqlite").arg(++databases_));
        return cluster_.freshDatabase();
    }
    int submit(httplib::Client& c, const std::string& pseudo, const std::string& code,
               QJsonObject* answer = nullptr) {
        const auto r = c.Post("/api/scores", json(pseudo, code), "application/json");
        if (r && answer)
            *answer = QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object();
        return status(r);
    }
    // "pseudo score" per row, "(hc)" after a game marked not eligible, best first.
    static QStringList listed(httplib::Client& c) {
        QStringList rows;
        const auto r = c.Get("/api/classement");
        if (!r || r->status != 200)
            return {"(no answer)"};
        int rank = 0;
        for (const QJsonValue& v :
             QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).array()) {
            const QJsonObject o = v.toObject();
            if (o.value("rang").toInt() != ++rank)
                return {"(bad rank)"};
            rows << QStringLiteral("%1 %2%3")
                        .arg(o.value("pseudo").toString())
                        .arg(o.value("score").toInt())
                        .arg(o.value("eligible").toBool() ? "" : " (hc)");
        }
        return rows;
    }

#define START(server, db, ...)                                                                     \
    const QString db = database();                                                                 \
    QVERIFY2(!db.isEmpty(), qPrintable(cluster_.error));                                           \
    ServerProcess server;                                                                          \
    QVERIFY2(server.start(db, ##__VA_ARGS__), qPrintable(server.error));                           \
    auto client = server.client()

private slots:
    void initTestCase() {
        QVERIFY(files_.isValid());
        QVERIFY2(QFile::exists(DORLO_BUILD_DIR "/ranking/dorlo-ranking"),
                 "dorlo-ranking not built");
    }

    void submissions_data() {
        backends();
    }
    void submissions() {
        START(server, db);
        struct Step {
            const char* pseudo;
            std::string code;
            int status;
            int rank;
        };
        std::string oneOff = code(9);
        oneOff[2] = oneOff[2] == 'Z' ? 'Y' : oneOff[2] + 1;
        const std::vector<Step> steps{
            {"Élodie", code(12), 201, 1},
            {"élodie", QString::fromStdString(code(12)).toLower().toStdString(), 409, 0},
            {"ÉLODIE", code(11), 409, 0},
            {"  Élodie ", "  " + QString::fromStdString(code(20)).toLower().toStdString() + " ",
             201, 1},
            {"Zoé", code(30), 201, 1},
            {"Max", code(25, false), 201, 3},
            {"Léa", code(28, false), 201, 3},
            {"Élodie", code(30, false), 409, 0}, // not eligible never beats eligible
            {"Max", code(3), 201, 3},            // eligible beats not eligible
            {"Max", oneOff, 400, 0},
            {"Anne", code(9).substr(0, 5), 400, 0},
            {"Anne", "- - - - - -", 400, 0},
            {"Anne", "", 400, 0},
            {" ", code(5), 400, 0},
        };
        for (const Step& s : steps) {
            QJsonObject answer;
            const QByteArray what =
                QByteArray(s.pseudo) + " / " + QByteArray::fromStdString(s.code);
            QVERIFY2(submit(*client, s.pseudo, s.code, &answer) == s.status, what);
            if (s.status == 201)
                QVERIFY2(answer.value("rang").toInt() == s.rank, what);
            else
                QVERIFY2(!answer.value("erreur").toString().isEmpty(), what);
        }
        QCOMPARE(listed(*client), QStringList({"Zoé 30", "Élodie 20", "Max 3", "Léa 28 (hc)"}));

        // The form: a redirect to the page with the new row marked, or the form kept.
        httplib::Params form{{"pseudo", "Nina"}, {"code", code(7)}};
        auto r = client->Post("/", form);
        QCOMPARE(status(r), 303);
        r = client->Get(r->get_header_value("Location").c_str());
        QCOMPARE(status(r), 200);
        QVERIFY(r->body.find("<tr class=\"nouveau\"><td>3</td><td>Nina</td><td>7 / 30") !=
                std::string::npos);
        QVERIFY(r->body.find("Hors concours") != std::string::npos);
        QVERIFY(r->body.find("« Nina » est classé 3e avec 7 bonnes réponses.") !=
                std::string::npos);
        form = {{"pseudo", "Nina"}, {"code", code(6)}};
        r = client->Post("/", form);
        QCOMPARE(status(r), 400);
        QVERIFY(r->body.find("déjà classé avec 7 bonnes réponses") != std::string::npos);
        QVERIFY(r->body.find("value=\"Nina\"") != std::string::npos);
        QVERIFY(r->body.find("value=\"" + code(6) + "\"") != std::string::npos);
        QCOMPARE(listed(*client).size(), 5);
    }

    void hostileInput_data() {
        backends();
    }
    void hostileInput() {
        START(server, db);
        httplib::Params form{{"pseudo", "<script>alert(1)</script>"},
                             {"code", "\"><img src=x onerror=alert(1)>"}};
        auto r = client->Post("/", form);
        QCOMPARE(status(r), 400);
        QVERIFY(r->body.find("<script>alert") == std::string::npos);
        QVERIFY(r->body.find("<img src=x") == std::string::npos);
        QVERIFY(r->body.find("value=\"&lt;script&gt;alert(1)&lt;/script&gt;\"") !=
                std::string::npos);
        QVERIFY(r->body.find("value=\"&quot;&gt;&lt;img") != std::string::npos);
        QVERIFY(r->get_header_value("Content-Security-Policy").find("default-src 'none'") == 0);

        QCOMPARE(submit(*client, "l'As", code(4)), 201);
        r = client->Get("/");
        QVERIFY(r->body.find("<td>l&#39;As</td>") != std::string::npos);

        QCOMPARE(submit(*client, "O'Brien' OR 1--", code(5)), 201);
        QCOMPARE(submit(*client, "x'); DROP TABLE ranking; --", code(6)), 400);
        QCOMPARE(submit(*client, "Eve", "' OR '1'='1"), 400);
        QCOMPARE(submit(*client, "Eve", "1' OR score > '0"), 400);
        QCOMPARE(listed(*client), QStringList({"O'Brien' OR 1-- 5", "l'As 4"}));
        QCOMPARE(status(client->Get("/healthz")), 200);
        QCOMPARE(status(client->Get("/../etc/passwd")), 404);
    }

    void bodyLimit_data() {
        backends();
    }
    void bodyLimit() {
        START(server, db);
        QCOMPARE(
            status(client->Post("/api/scores", json("Big", code(8), 5000), "application/json")),
            413);
        const std::string form = "pseudo=Big&code=" + code(8) + "&x=" + std::string(5000, 'x');
        QCOMPARE(status(client->Post("/", form, "application/x-www-form-urlencoded")), 413);
        QCOMPARE(listed(*client), QStringList());
        QCOMPARE(
            status(client->Post("/api/scores", json("Big", code(8), 3900), "application/json")),
            201);
        QCOMPARE(status(client->Post("/api/scores", "{\"pseudo\":", "application/json")), 400);
    }

    void rateLimit_data() {
        backends();
    }
    void rateLimit() {
        START(server, db, 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(submit(*client, "Rita", "nope"), 400);
        QCOMPARE(submit(*client, "Rita", code(10)), 429);
        httplib::Params form{{"pseudo", "Rita"}, {"code", code(10)}};
        QCOMPARE(status(client->Post("/", form)), 429);
        QCOMPARE(listed(*client), QStringList());
    }

    // A 201 is on disk: a kill -9 right after it, and a clean restart, lose nothing.
    void durability_data() {
        backends();
    }
    void durability() {
        START(server, db);
        QCOMPARE(submit(*client, "Kim", code(17)), 201);
        server.kill();
        QVERIFY2(server.start(db), qPrintable(server.error));
        client = server.client();
        QCOMPARE(listed(*client), QStringList({"Kim 17"}));
        QCOMPARE(submit(*client, "Lou", code(18)), 201);
        QVERIFY(server.stop());
        QVERIFY2(server.start(db), qPrintable(server.error));
        client = server.client();
        QCOMPARE(listed(*client), QStringList({"Lou 18", "Kim 17"}));
    }

    // 20 clients × 50 submissions on 50 pseudonyms, spread over two servers sharing the
    // database: each pseudonym ends with its best score, and of the two clients sending that
    // best score exactly one is accepted.
    void concurrentClients_data() {
        backends();
    }
    void concurrentClients() {
        START(server, db);
        ServerProcess other;
        QVERIFY2(other.start(db), qPrintable(other.error));
        constexpr int kClients = 20;
        constexpr int kEach = 50;
        auto score = [](int client, int i) {
            return 1 + (client + i) % 10;
        };
        std::vector<std::array<int, kEach>> statuses(kClients);
        std::vector<std::thread> threads;
        for (int t = 0; t < kClients; ++t) {
            threads.emplace_back([&, t] {
                auto c = (t % 2 ? other : server).client();
                for (int i = 0; i < kEach; ++i)
                    statuses[t][i] = submit(*c, "p" + std::to_string(i), code(score(t, i)));
            });
        }
        for (std::thread& t : threads)
            t.join();
        for (int i = 0; i < kEach; ++i) {
            int bestAccepted = 0;
            for (int t = 0; t < kClients; ++t) {
                QVERIFY2(statuses[t][i] == 201 || statuses[t][i] == 409,
                         qPrintable(QString::number(statuses[t][i])));
                bestAccepted += statuses[t][i] == 201 && score(t, i) == 10;
            }
            QCOMPARE(bestAccepted, 1);
        }
        const QStringList rows = listed(*client);
        QCOMPARE(rows.size(), kEach);
        for (const QString& row : rows)
            QVERIFY2(row.endsWith(" 10"), qPrintable(row));
        QCOMPARE(QSet<QString>(rows.begin(), rows.end()).size(), kEach);
    }

    // A database failing under the server: a plain French sentence and a 503, no SQL error.
    void databaseFailure_data() {
        backends();
    }
    void databaseFailure() {
        START(server, db);
        QCOMPARE(submit(*client, "Ada", code(2)), 201);
        QVERIFY(dropTable(db));
        QJsonObject answer;
        QCOMPARE(submit(*client, "Bob", code(3), &answer), 503);
        const QString error = answer.value("erreur").toString();
        QVERIFY2(error.startsWith(u"Le classement est momentanément indisponible"),
                 qPrintable(error));
        for (const char* path : {"/", "/api/classement"}) {
            const auto r = client->Get(path);
            QCOMPARE(status(r), 503);
            for (const char* leak : {"ranking", "SQL", "sql", "relation", "table"})
                QVERIFY2(r->body.find(leak) == std::string::npos, leak);
        }
        QCOMPARE(status(client->Get("/healthz")), 200);
    }

    // Headless Chromium fills the form and submits it; the row appears on the page.
    void browser() {
        const QString python = QStandardPaths::findExecutable("python3");
        QVERIFY2(!python.isEmpty(), "python3 is needed to drive the browser");
        const QString db = "sqlite:" + files_.filePath("browser.sqlite");
        ServerProcess server;
        QVERIFY2(server.start(db), qPrintable(server.error));
        auto client = server.client();
        for (auto [pseudo, n, eligible] : {std::tuple{"Zoé", 30, true},
                                           {"Élodie", 24, true},
                                           {"Max", 17, true},
                                           {"Léa", 28, false}})
            QCOMPARE(submit(*client, pseudo, code(n, eligible)), 201);
        const QString shot =
            qEnvironmentVariable("DORLO_RANKING_SCREENSHOT", files_.filePath("ranking.png"));
        QProcess drive;
        drive.setProcessChannelMode(QProcess::ForwardedChannels);
        drive.start(python, {DORLO_SOURCE_DIR "/tests/ranking/browser.py",
                             QStringLiteral("http://127.0.0.1:%1/").arg(server.port()),
                             QStringLiteral("Camille"), QString::fromStdString(code(21)), shot});
        QVERIFY(drive.waitForFinished(90000));
        QCOMPARE(drive.exitCode(), 0);
        QVERIFY(QFileInfo(shot).size() > 1000);
        QCOMPARE(listed(*client),
                 QStringList({"Zoé 30", "Élodie 24", "Camille 21", "Max 17", "Léa 28 (hc)"}));
    }
};

QTEST_GUILESS_MAIN(TestRankingHttp)
#include "tst_ranking_http.moc"
