// The ranking server end to end: a real process on loopback, on SQLite and on a throw-away
// PostgreSQL cluster, with a real browser for the page.
#include "fixtures/server_process.h"
#include "raw_exchange.h"

#include "ranking/code_book.h"

#include <QElapsedTimer>
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

// Runs statements on a database behind the server's back.
bool runSql(const QString& database, const char* statements) {
    const QByteArray target = database.toUtf8();
    if (database.startsWith("sqlite:")) {
        sqlite3* db = nullptr;
        const bool ran = sqlite3_open(target.constData() + 7, &db) == SQLITE_OK &&
                         sqlite3_exec(db, statements, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return ran;
    }
    PGconn* c = PQconnectdb(target.constData());
    PGresult* r = PQexec(c, statements);
    const bool ran = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    PQfinish(c);
    return ran;
}

// dorlo-ranking run to its end, as for an import or an export: its exit code and output.
int runRanking(const QStringList& arguments, QString* said = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(DORLO_BUILD_DIR "/ranking/dorlo-ranking"), arguments);
    if (!p.waitForFinished(120000))
        return -1;
    if (said)
        *said = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

bool hasTable(const httplib::Result& r) {
    return r && r->body.find("<table") != std::string::npos;
}

int status(const httplib::Result& r) {
    return r ? r->status : -100 - static_cast<int>(r.error());
}

QByteArray postJson(const std::string& body, const QByteArray& headers = {}) {
    return "POST /api/scores HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n" + headers +
           "Content-Length: " + QByteArray::number(qsizetype(body.size())) + "\r\n\r\n" +
           QByteArray::fromStdString(body);
}

QByteArray chunk(const QByteArray& data) {
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

// A request sent raw, and what must come of it.
struct Hostile {
    QByteArray sent = {};
    QByteArray flood = {};     // then sent again and again for as long as the server reads
    QList<int> statuses = {};  // the answers in order; after a 400, 413 or 431 the server closes
    QByteArrayList shown = {}; // what each answer carries
    QStringList stored = {};
    QStringList options = {};
    int parallel = 1; // connections sending it at once
    int crowd = 0;    // meanwhile, slow connections from each of 127.0.0.2 to 127.0.0.11
};

} // namespace

Q_DECLARE_METATYPE(Hostile)

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
        // Its trivial query reads the ranking: a proxy stops sending traffic here.
        QCOMPARE(status(client->Get("/healthz")), 503);
    }

    // 260 entries: pages of 50 with their pager, the API by ranges, and a row far down.
    void pages_data() {
        backends();
    }
    void pages() {
        START(server, db);
        QByteArray csv = "pseudo;score;eligible;date\n";
        for (int i = 0; i < 260; ++i)
            csv += QStringLiteral("p%1;%2;%3;2026-01-%4T00:00:%5Z\n")
                       .arg(i)
                       .arg(1 + i % 30)
                       .arg(i % 7 ? 1 : 0)
                       .arg(1 + i * 7 % 28, 2, 10, QChar(u'0'))
                       .arg(i % 60, 2, 10, QChar(u'0'))
                       .toUtf8();
        const QString file = files_.filePath("pages.csv");
        QVERIFY(writeFile(file, csv));
        QString said;
        QCOMPARE(runRanking({"--database", db, "--import", file}, &said), 0);

        // The API in ranges, each answer with the count of entries.
        QList<QJsonObject> all;
        for (int first : {1, 101, 201, 261}) {
            const auto r =
                client->Get(QStringLiteral("/api/classement?rang=%1").arg(first).toStdString());
            QCOMPARE(status(r), 200);
            QCOMPARE(r->get_header_value("X-Total-Count"), std::string("260"));
            const QJsonArray rows =
                QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).array();
            QCOMPARE(rows.size(), first == 261 ? 0 : first == 201 ? 60 : 100);
            for (const QJsonValue& v : rows)
                all << v.toObject();
        }
        for (qsizetype i = 0; i < all.size(); ++i) {
            QCOMPARE(all[i].value("rang").toInt(), i + 1);
            const QJsonObject& p = all[qMax(i - 1, 0)];
            const QJsonObject& o = all[i];
            if (i > 0 && p.value("eligible") == o.value("eligible") &&
                p.value("score") == o.value("score"))
                QVERIFY(p.value("date").toString() <= o.value("date").toString());
            else if (i > 0 && p.value("eligible") == o.value("eligible"))
                QVERIFY(p.value("score").toInt() > o.value("score").toInt());
            else if (i > 0)
                QVERIFY(all[i - 1].value("eligible").toBool()); // hors concours after them all
        }
        QSet<QString> players;
        for (const QJsonObject& o : all)
            players << o.value("pseudo").toString();
        QCOMPARE(players.size(), 260);
        auto r = client->Get("/api/classement?rang=3&nombre=2");
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).array(),
                 QJsonArray({all[2], all[3]}));
        for (const char* bad : {"rang=0", "rang=x", "nombre=0", "nombre=101", "rang=1&nombre=-5",
                                "rang=99999999999999999999"}) {
            r = client->Get(std::string("/api/classement?") + bad);
            QVERIFY2(status(r) == 400 && r->body.find("\"erreur\"") != std::string::npos, bad);
            QCOMPARE(r->get_header_value("X-Total-Count"), std::string("260"));
        }

        // Pages: past the end the last, a bad number the first.
        r = client->Get("/?page=99");
        QVERIFY(r->body.find("Page 6 sur 6") != std::string::npos);
        QVERIFY(r->body.find("<tr><td>251</td>") != std::string::npos);
        QVERIFY(r->body.find("<td>250</td>") == std::string::npos);
        QVERIFY(r->body.find("href=\"/?page=5\" rel=\"prev\"") != std::string::npos);
        r = client->Get("/?page=-2x");
        QVERIFY(r->body.find("Page 1 sur 6") != std::string::npos);
        QVERIFY(r->body.find("<td>51</td>") == std::string::npos);
        r = client->Get("/?page=3");
        QVERIFY(r->body.find("<tr><td>101</td><td>" +
                             all[100].value("pseudo").toString().toStdString()) !=
                std::string::npos);

        // A new last row: the form leads to the page holding it, the row marked.
        r = client->Post("/", httplib::Params{{"pseudo", "Lanterne"}, {"code", code(1, false)}});
        QCOMPARE(status(r), 303);
        r = client->Get(r->get_header_value("Location"));
        QVERIFY(r->body.find("Page 6 sur 6") != std::string::npos);
        QVERIFY(r->body.find("<tr class=\"nouveau\"><td>261</td><td>Lanterne</td>") !=
                std::string::npos);
        QVERIFY(r->body.find("est classé 261e") != std::string::npos);
    }

    // Refusals carry the form and the error, never the table; another site's form and a
    // body not declared as JSON are refused and store nothing.
    void refusals_data() {
        backends();
    }
    void refusals() {
        START(server, db, 3);
        const std::string own =
            QStringLiteral("http://127.0.0.1:%1").arg(server.port()).toStdString();
        const httplib::Params form{{"pseudo", "Eve"}, {"code", code(9)}};
        for (const httplib::Headers& from : {httplib::Headers{{"Origin", "https://evil.example"}},
                                             httplib::Headers{{"Sec-Fetch-Site", "cross-site"}},
                                             httplib::Headers{{"Origin", "null"}}}) {
            const auto r = client->Post("/", from, form);
            QCOMPARE(status(r), 403);
            QVERIFY(r->body.find("Envoi refusé") != std::string::npos);
            QVERIFY(!hasTable(r));
        }
        for (const char* type : {"text/plain", "application/x-www-form-urlencoded"})
            QCOMPARE(status(client->Post("/api/scores", json("Eve", code(9)), type)), 415);

        const httplib::Headers same{{"Origin", own}, {"Sec-Fetch-Site", "same-origin"}};
        auto r = client->Post("/", same, httplib::Params{{"pseudo", "Eve"}, {"code", "nope"}});
        QCOMPARE(status(r), 400);
        QVERIFY(!hasTable(r));
        QCOMPARE(status(client->Post("/api/scores", json("Eve", code(9)),
                                     "application/json; charset=utf-8")),
                 201);
        QCOMPARE(submit(*client, "Eve", code(9)), 409);
        r = client->Post("/", same, form);
        QCOMPARE(status(r), 429);
        QVERIFY(!hasTable(r));
        QCOMPARE(listed(*client), QStringList({"Eve 9"}));
    }

    // A database of the first schema (the table alone) keeps its rows; keys are computed
    // again, and of two entries that now belong to one player the better stays.
    void upgrade_data() {
        backends();
    }
    void upgrade() {
        const QString db = database();
        QVERIFY2(!db.isEmpty(), qPrintable(cluster_.error));
        QVERIFY(runSql(db, "CREATE TABLE IF NOT EXISTS ranking ("
                           " pseudo_key TEXT PRIMARY KEY,"
                           " pseudo TEXT NOT NULL,"
                           " score SMALLINT NOT NULL CHECK (score BETWEEN 1 AND 30),"
                           " eligible SMALLINT NOT NULL CHECK (eligible IN (0, 1)),"
                           " created BIGINT NOT NULL)"));
        QVERIFY(runSql(db, "INSERT INTO ranking VALUES"
                           " ('élodie', 'Élodie', 12, 1, 1765000000000000),"
                           " ('an old key', 'ÉLODIE', 20, 1, 1765000001000000),"
                           " ('max', 'Max', 25, 0, 1765000002000000),"
                           " ('zoé', 'Zoé', 30, 1, 1765000003000000)"));
        for (int run = 0; run < 2; ++run) {
            ServerProcess server;
            QVERIFY2(server.start(db), qPrintable(server.error));
            auto client = server.client();
            QCOMPARE(listed(*client), QStringList({"Zoé 30", "ÉLODIE 20", "Max 25 (hc)"}));
            QCOMPARE(submit(*client, "élodie", code(15)), 409);
        }
    }

    // --import checks every line first: one bad line, and nothing is imported. What
    // --export writes, --import reads back the same.
    void importExport_data() {
        backends();
    }
    void importExport() {
        const QString db = database();
        QVERIFY2(!db.isEmpty(), qPrintable(cluster_.error));
        const QString file = files_.filePath("import.csv");
        const QByteArray head = "pseudo;score;eligible;date\nAnn;20;1;2026-12-07T14:02:11Z\n";
        for (const char* bad : {"Bob;31;1;2026-12-07T14:02:11Z", "Bob;0;1;2026-12-07T14:02:11Z",
                                "Bob;12;2;2026-12-07T14:02:11Z", "Bob;12;1;2026-02-30T14:02:11Z",
                                "Bob;12;1;2026-12-07 14:02:11", "<b>;12;1;2026-12-07T14:02:11Z",
                                "Bob;12;1", "\xff;12;1;2026-12-07T14:02:11Z"}) {
            QVERIFY(writeFile(file, head + bad + "\nCid;3;0;2026-12-08T00:00:00Z\n"));
            QString said;
            QCOMPARE(runRanking({"--database", db, "--import", file}, &said), 1);
            QVERIFY2(said.contains("import.csv:3: ") && said.contains("nothing imported"),
                     qPrintable(said));
        }
        QVERIFY(writeFile(file, "pseudo;score;eligible\n"));
        QCOMPARE(runRanking({"--database", db, "--import", file}), 1);
        const QString out = files_.filePath("export.csv");
        QCOMPARE(runRanking({"--database", db, "--export", out}), 0);
        QCOMPARE(fileText(out), "pseudo;score;eligible;date\n");

        // The better of one player's lines stays, on a tie the earlier; an empty line is
        // nothing.
        const QByteArray good = "pseudo;score;eligible;date\r\n"
                                "Ann;20;1;2026-12-07T14:02:11Z\r\n"
                                "ann;25;0;2026-12-07T15:00:00Z\r\n"
                                "Bob;20;1;2026-12-07T14:02:10.25Z\r\n"
                                "Cid;3;0;2026-12-08T00:00:00Z\r\n"
                                "\r\n"
                                "CID;3;0;2026-12-01T00:00:00Z\r\n";
        QVERIFY(writeFile(file, good));
        QCOMPARE(runRanking({"--database", db, "--import", file}), 0);
        const QByteArray expected = "pseudo;score;eligible;date\n"
                                    "Bob;20;1;2026-12-07T14:02:10.250000Z\n"
                                    "Ann;20;1;2026-12-07T14:02:11Z\n"
                                    "CID;3;0;2026-12-01T00:00:00Z\n";
        QCOMPARE(runRanking({"--database", db, "--export", out}), 0);
        QCOMPARE(fileText(out), expected);

        // Again into the same database: nothing better, nothing changes; into another, the
        // same ranking.
        QCOMPARE(runRanking({"--database", db, "--import", out}), 0);
        const QString other = database();
        QCOMPARE(runRanking({"--database", other, "--import", out}), 0);
        for (const QString& d : {db, other}) {
            QCOMPARE(runRanking({"--database", d, "--export", out}), 0);
            QCOMPARE(fileText(out), expected);
        }
    }

    // A table locked by someone else: a submission and the health check answer 503 within
    // their bounds, and all is well once it is released.
    void heldLock() {
        const QString db = cluster_.freshDatabase();
        QVERIFY2(!db.isEmpty(), qPrintable(cluster_.error));
        ServerProcess server;
        QVERIFY2(server.start(db), qPrintable(server.error));
        auto client = server.client();
        QCOMPARE(submit(*client, "Ann", code(4)), 201);
        PGconn* holder = PQconnectdb(db.toUtf8().constData());
        PQclear(PQexec(holder, "BEGIN"));
        PGresult* locked = PQexec(holder, "LOCK TABLE ranking");
        QCOMPARE(PQresultStatus(locked), PGRES_COMMAND_OK);
        PQclear(locked);
        QElapsedTimer t;
        t.start();
        QCOMPARE(submit(*client, "Bob", code(5)), 503);
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        t.start();
        QCOMPARE(status(client->Get("/healthz")), 503);
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        PQclear(PQexec(holder, "COMMIT"));
        PQfinish(holder);
        QCOMPARE(status(client->Get("/healthz")), 200);
        QCOMPARE(submit(*client, "Bob", code(5)), 201);
    }

    // Pooled connections broken by a restart of PostgreSQL are opened again: once it is
    // back, no request fails.
    void postgresRestart() {
        const QString db = cluster_.freshDatabase();
        QVERIFY2(!db.isEmpty(), qPrintable(cluster_.error));
        ServerProcess server;
        QVERIFY2(server.start(db), qPrintable(server.error));
        {
            std::vector<std::jthread> warm;
            for (int t = 0; t < 8; ++t)
                warm.emplace_back([&] { server.client()->Get("/"); });
        }
        QVERIFY(cluster_.restart());
        std::vector<std::array<int, 4>> statuses(8);
        {
            std::vector<std::jthread> threads;
            for (int t = 0; t < 8; ++t) {
                threads.emplace_back([&, t] {
                    auto c = server.client();
                    statuses[t][0] = status(c->Get("/"));
                    statuses[t][1] = submit(*c, "p" + std::to_string(t), code(t + 1));
                    statuses[t][2] = status(c->Get("/api/classement"));
                    statuses[t][3] = status(c->Get("/healthz"));
                });
            }
        }
        for (const auto& s : statuses)
            QCOMPARE(s, (std::array{200, 201, 200, 200}));
    }

    // The file replaced, then deleted, under a running server: it serves the file now there,
    // and a 201 is in that file.
    void sqliteReplaced() {
        const QString path = files_.filePath("replaced.sqlite");
        ServerProcess server;
        QVERIFY2(server.start("sqlite:" + path), qPrintable(server.error));
        auto client = server.client();
        QCOMPARE(submit(*client, "Ann", code(4)), 201);
        const QString csv = files_.filePath("replacing.csv");
        const QString other = files_.filePath("replacing.sqlite");
        QVERIFY(writeFile(csv, "pseudo;score;eligible;date\nBob;9;1;2026-12-07T14:02:11Z\n"));
        QCOMPARE(runRanking({"--database", "sqlite:" + other, "--import", csv}), 0);
        QVERIFY(::rename(QFile::encodeName(other).constData(),
                         QFile::encodeName(path).constData()) == 0);
        QCOMPARE(listed(*client), QStringList({"Bob 9"}));
        QCOMPARE(submit(*client, "Cid", code(5)), 201);
        QVERIFY(QFile::remove(path));
        QCOMPARE(submit(*client, "Dan", code(6)), 201);
        QVERIFY(server.stop());
        QVERIFY2(server.start("sqlite:" + path), qPrintable(server.error));
        client = server.client();
        QCOMPARE(listed(*client), QStringList({"Dan 6"}));
    }

    // Whatever a client sends, the server's memory grows by less than 16 MiB, nothing is
    // stored but what is answered 201, and the connection closes after a refusal.
    void hostileRequests_data() {
        QTest::addColumn<Hostile>("row");
        const QByteArray chunked = "POST /api/scores HTTP/1.1\r\nHost: x\r\nContent-Type: "
                                   "application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
        const QByteArray kib = chunk(QByteArray(1024, 'x'));
        const QByteArray big = QByteArray::fromStdString(json("Big", code(8), 5000));
        const QByteArray get = "GET / HTTP/1.1\r\nHost: x\r\n";
        const QByteArray header = "X-A: 1\r\n";
        QTest::newRow("chunked 64 MiB") << Hostile{chunked, kib, {413}};
        QTest::newRow("memory: 8 at once")
            << Hostile{.sent = chunked, .flood = kib, .statuses = {413}, .parallel = 8};
        QTest::newRow("chunked 5 KiB") << Hostile{
            chunked + chunk(big.left(2500)) + chunk(big.mid(2500)) + "0\r\n\r\n", {}, {413}};
        QTest::newRow("10 000 headers")
            << Hostile{get + header.repeated(10000) + "\r\n", {}, {431}};
        QTest::newRow("101 headers") << Hostile{get + header.repeated(100) + "\r\n", {}, {431}};
        QTest::newRow("huge header line") << Hostile{get + "X-Big: ", QByteArray(8192, 'a'), {431}};
        QTest::newRow("range") << Hostile{
            "GET /style.css HTTP/1.1\r\nHost: x\r\nRange: bytes=0-,0-,0-,0-\r\n\r\n",
            {},
            {200},
            {"text/css"}};
        QTest::newRow("pipelined")
            << Hostile{postJson(json("Ann", code(20))) + postJson(json("Ben", code(10))),
                       {},
                       {201, 201},
                       {"\"rang\":1", "\"rang\":2"},
                       {"Ann 20", "Ben 10"}};
        QTest::newRow("two lengths")
            << Hostile{postJson(json("Cid", code(5)), "Content-Length: 3\r\n"), {}, {400}};
        QTest::newRow("no host") << Hostile{"GET / HTTP/1.1\r\n\r\n", {}, {400}};
        QTest::newRow("host with space")
            << Hostile{"GET / HTTP/1.1\r\nHost : x\r\n\r\n", {}, {400}};
        QTest::newRow("bad request line, then a good one")
            << Hostile{"GET/ HTTP/1.1\r\nHost: x\r\n\r\n" + get + "\r\n", {}, {400}};
        QTest::newRow("PUT") << Hostile{"PUT / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n",
                                        {},
                                        {405},
                                        {"\r\nAllow: GET, HEAD, POST\r\n"}};
        QTest::newRow("date") << Hostile{get + "\r\n", {}, {200}, {"\r\nDate: "}};
        // The proxy appends the address it saw: a forged one before it changes nothing.
        QTest::newRow("forwarded by a trusted proxy") << Hostile{
            postJson(json("Ann", code(20)), "X-Forwarded-For: 10.0.0.1\r\n") +
                postJson(json("Ben", code(10)), "X-Forwarded-For: 10.0.0.2\r\n") +
                postJson(json("Cid", code(5)), "X-Forwarded-For: 10.0.0.2, 10.0.0.1\r\n"),
            {},
            {201, 201, 429},
            {},
            {"Ann 20", "Ben 10"},
            {"--trusted-proxy", "127.0.0.1", "--rate-limit", "1"}};
        QTest::newRow("forwarded by anyone else")
            << Hostile{postJson(json("Ann", code(20)), "X-Forwarded-For: 10.0.0.1\r\n") +
                           postJson(json("Ben", code(10)), "X-Forwarded-For: 10.0.0.2\r\n"),
                       {},
                       {201, 429},
                       {},
                       {"Ann 20"},
                       {"--trusted-proxy", "127.0.0.9", "--rate-limit", "1"}};
        // 16 kept per address, the rest closed at once; a normal page still comes in 1 s.
        QTest::newRow("200 slow clients")
            << Hostile{.sent = get + "\r\n", .statuses = {200}, .crowd = 20};
    }
    void hostileRequests() {
        using namespace std::chrono;
        QFETCH(Hostile, row);
        const QString db =
            "sqlite:" + files_.filePath(QStringLiteral("h%1.sqlite").arg(++databases_));
        ServerProcess server;
        QVERIFY2(server.start(db, 0, row.options), qPrintable(server.error));
        auto client = server.client();
        QCOMPARE(status(client->Get("/")), 200);
        const long before = residentKiB(server.pid());
        QVERIFY(before > 0);
        const SlowCrowd crowd(server.port(), row.crowd);
        QCOMPARE(crowd.kept(), 10 * std::min(row.crowd, 16));
        const bool closes = QList<int>{400, 413, 431}.contains(row.statuses.last());
        std::vector<Exchange> results(static_cast<std::size_t>(row.parallel));
        const auto started = steady_clock::now();
        {
            std::vector<std::jthread> threads;
            for (Exchange& result : results)
                threads.emplace_back([&] {
                    result = exchange(connectFrom("127.0.0.1", server.port()), row.sent, row.flood,
                                      int(row.statuses.size()), closes);
                });
        }
        if (row.crowd > 0)
            QVERIFY(steady_clock::now() - started < seconds(1));
        for (const Exchange& ex : results) {
            QCOMPARE(ex.statuses, row.statuses);
            for (qsizetype i = 0; i < row.shown.size(); ++i)
                QVERIFY2(ex.answers[i].contains(row.shown[i]), ex.answers[i].left(400));
            QVERIFY(ex.answers.last().contains(closes ? "\r\nConnection: close\r\n"
                                                      : "\r\nConnection: keep-alive\r\n"));
            QCOMPARE(ex.closed, closes);
        }
        const long grown = residentKiB(server.pid()) - before;
        QVERIFY2(grown < 16 * 1024, qPrintable(QString::number(grown) + " KiB"));
        QCOMPARE(listed(*client), row.stored);
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
