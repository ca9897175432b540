// The ranking at 10^3 to 10^6 entries, seeded with --import, on SQLite and PostgreSQL: the
// latency of the first page, a player's own page from the middle of the table, an API page from
// there and a submission, at 1 and 32 clients; each answer's size; the server's memory.
#include "fixtures/server_process.h"

#include "ranking/code_book.h"
#include "ranking/pseudonym.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

enum Kind { Page, Own, Api, Submit, kKinds };
constexpr std::array<const char*, kKinds> kKindNames{"GET /", "?moi=", "API page", "POST"};

struct Cell {
    double p50 = 0; // ms
    double p99 = 0;
    std::size_t bytes = 0; // of the answer's body
    int failures = 0;
};

struct Targets {
    std::string own; // the ?moi= page of the row in the middle
    std::string api; // 100 rows from the middle
    std::vector<std::string> codes;
};

// N entries in the import format: distinct pseudonyms, scores spread over 1..30, one in ten
// not eligible, dates a second apart.
bool writeSeed(const QString& path, int n) {
    std::FILE* f = std::fopen(qPrintable(path), "w");
    if (!f)
        return false;
    std::fputs("pseudo;score;eligible;date\n", f);
    const std::time_t start = 1767225600; // 2026-01-01T00:00:00Z
    char date[32];
    for (int i = 0; i < n; ++i) {
        const std::time_t t = start + i;
        std::tm utc{};
        gmtime_r(&t, &utc);
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
        std::fprintf(f, "Joueur %07d;%d;%d;%s\n", i, 1 + static_cast<int>((i * 7919L) % 30),
                     i % 10 ? 1 : 0, date);
    }
    return std::fclose(f) == 0;
}

// Seeds the database through the program's own import; the time taken, or < 0 on failure.
double import(const QString& database, const QString& csv) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral(DORLO_BUILD_DIR "/ranking/dorlo-ranking"),
            {"--database", database, "--import", csv});
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s", p.readAll().constData());
        return -1;
    }
    return static_cast<double>(timer.elapsed()) / 1000;
}

Cell measure(const ServerProcess& server, Kind kind, int clients, double seconds,
             const Targets& targets) {
    static std::atomic<int> submitted = 0;
    std::vector<std::vector<double>> latencies(clients);
    std::atomic<int> failures = 0;
    std::atomic<std::size_t> bytes = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            auto client = server.client();
            client->set_keep_alive(true);
            while (Clock::now() < end) {
                const auto t0 = Clock::now();
                const int wanted = kind == Submit ? 201 : 200;
                const httplib::Result r = [&] {
                    if (kind != Submit)
                        return client->Get(kind == Page  ? std::string("/")
                                           : kind == Own ? targets.own
                                                         : targets.api);
                    const int n = submitted++;
                    const QJsonObject body{
                        {"pseudo", QStringLiteral("Banc %1").arg(n)},
                        {"code",
                         QString::fromStdString(targets.codes[static_cast<std::size_t>(n) % 30])}};
                    return client->Post(
                        "/api/scores",
                        QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                        "application/json");
                }();
                const auto t1 = Clock::now();
                if (!r || r->status != wanted)
                    ++failures;
                else
                    bytes = std::max<std::size_t>(bytes, r->body.size());
                latencies[c].push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    std::vector<double> all;
    for (const auto& l : latencies)
        all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    Cell cell;
    if (!all.empty()) {
        cell.p50 = all[all.size() / 2];
        cell.p99 = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    }
    cell.bytes = bytes;
    cell.failures = failures;
    return cell;
}

double residentMiB(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024;
    }
    return 0;
}

// The row ranked in the middle, as the ?moi= of the page after its submission names it.
std::string middleTargets(const ServerProcess& server, int entries, Targets& targets) {
    const int middle = std::max(1, entries / 2);
    targets.api = "/api/classement?rang=" + std::to_string(middle) + "&nombre=100";
    const auto r =
        server.client()->Get("/api/classement?rang=" + std::to_string(middle) + "&nombre=1");
    if (!r || r->status != 200)
        return "no answer from /api/classement";
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).array();
    if (rows.isEmpty())
        return "/api/classement gave no row";
    const auto name = ranking::checkPseudonym(rows.first().toObject().value("pseudo").toString());
    if (!name.pseudonym)
        return "the middle row's pseudonym is refused";
    targets.own = "/?moi=" + QUrl::toPercentEncoding(name.pseudonym->key).toStdString();
    return {};
}

struct Line {
    double import = 0;
    double mib = 0;
    std::array<std::array<Cell, kKinds>, 2> cells; // [1 client, 32 clients][kind]
};

// Prints each goal at the largest size, and each figure's growth from the smallest.
void goals(const char* engine, const std::map<int, Line>& lines) {
    const Line& small = lines.begin()->second;
    const Line& large = lines.rbegin()->second;
    auto verdict = [](bool met) {
        return met ? "met" : "MISSED";
    };
    double worstP99 = 0;
    std::size_t largest = 0;
    double worstRatio = 0;
    std::string worstName;
    auto growth = [&](double a, double b, const std::string& name) {
        if (a > 0 && b / a > worstRatio) {
            worstRatio = b / a;
            worstName = name;
        }
    };
    for (int k = 0; k < kKinds; ++k) {
        worstP99 = std::max(worstP99, large.cells[0][k].p99);
        largest = std::max(largest, large.cells[0][k].bytes);
        for (int c = 0; c < 2; ++c) {
            const std::string name = std::string(kKindNames[k]) + (c ? " 32 clients" : " 1 client");
            growth(small.cells[c][k].p50, large.cells[c][k].p50, name + " p50");
            growth(small.cells[c][k].p99, large.cells[c][k].p99, name + " p99");
        }
        growth(static_cast<double>(small.cells[0][k].bytes),
               static_cast<double>(large.cells[0][k].bytes), std::string(kKindNames[k]) + " size");
    }
    growth(small.mib, large.mib, "memory");
    if (lines.size() < 2)
        worstName = "one size only";
    const int n = lines.rbegin()->first;
    std::printf("  %s at %d entries: single-client p99 <= 20 ms: %.1f ms %s; answers <= 100 KB: "
                "%.1f KB %s; memory <= 64 MiB: %.0f MiB %s; within 2x of %d entries: %.2fx (%s) "
                "%s\n",
                engine, n, worstP99, verdict(worstP99 <= 20), static_cast<double>(largest) / 1000,
                verdict(largest <= 100000), large.mib, verdict(large.mib <= 64),
                lines.begin()->first, worstRatio, worstName.c_str(), verdict(worstRatio <= 2));
}

} // namespace

int main() {
    const int largest = qEnvironmentVariableIsSet("DORLO_BENCH_SCALE_MAX")
                            ? qEnvironmentVariableIntValue("DORLO_BENCH_SCALE_MAX")
                            : 1000000;
    const double seconds = qEnvironmentVariableIntValue("DORLO_BENCH_CELL_MS") > 0
                               ? qEnvironmentVariableIntValue("DORLO_BENCH_CELL_MS") / 1000.0
                               : 1.0;
    const ranking::CodeBook book = ranking::CodeBook::ofThisEdition();
    Targets targets;
    for (int n = 1; n <= 30; ++n)
        targets.codes.push_back(book.codeOf({n, true}).toStdString());

    QTemporaryDir files;
    ScratchCluster cluster;
    std::printf("Ranking at scale (seeded with --import; %.1f s a figure; latencies in ms, "
                "p50/p99; GET / is the first page, ?moi= a page of the middle, the API page 100 "
                "rows from the middle):\n",
                seconds);
    std::printf("  %-10s %8s %7s %13s %13s %13s %13s %8s\n", "database", "entries", "clients",
                kKindNames[Page], kKindNames[Own], kKindNames[Api], kKindNames[Submit], "memory");
    std::map<std::string, std::map<int, Line>> all;
    for (const char* engine : {"sqlite", "postgresql"}) {
        for (int entries = 1000; entries <= largest; entries *= 10) {
            const QString csv = files.filePath(QStringLiteral("seed%1.csv").arg(entries));
            if (!QFile::exists(csv) && !writeSeed(csv, entries)) {
                std::fprintf(stderr, "bench_ranking_scale: cannot write %s\n", qPrintable(csv));
                return 1;
            }
            const QString db =
                QString(engine) == "sqlite"
                    ? "sqlite:" + files.filePath(QStringLiteral("s%1.sqlite").arg(entries))
                    : cluster.freshDatabase();
            if (db.isEmpty()) {
                std::fprintf(stderr, "bench_ranking_scale: %s\n", qPrintable(cluster.error));
                return 1;
            }
            Line line;
            line.import = import(db, csv);
            ServerProcess server;
            // As behind the proxy: the 32 clients come from one address.
            if (line.import < 0 || !server.start(db, 0, {"--trusted-proxy", "127.0.0.1"})) {
                std::fprintf(stderr, "bench_ranking_scale: %s, %d entries: %s\n", engine, entries,
                             line.import < 0 ? "--import failed" : qPrintable(server.error));
                return 1;
            }
            if (const std::string e = middleTargets(server, entries, targets); !e.empty()) {
                std::fprintf(stderr, "bench_ranking_scale: %s\n", e.c_str());
                return 1;
            }
            // Caches, prepared statements and the first connections warmed before any figure.
            for (int k = 0; k < kKinds; ++k)
                measure(server, static_cast<Kind>(k), 1, seconds / 5, targets);
            int failures = 0;
            for (int c = 0; c < 2; ++c) {
                for (int k = 0; k < kKinds; ++k) {
                    line.cells[c][k] =
                        measure(server, static_cast<Kind>(k), c ? 32 : 1, seconds, targets);
                    failures += line.cells[c][k].failures;
                }
            }
            line.mib = residentMiB(server.pid());
            for (int c = 0; c < 2; ++c) {
                std::printf("  %-10s %8d %7d", engine, entries, c ? 32 : 1);
                for (const Cell& cell : line.cells[c]) {
                    char pair[32];
                    std::snprintf(pair, sizeof pair, "%.1f/%.1f", cell.p50, cell.p99);
                    std::printf(" %13s", pair);
                }
                if (c)
                    std::printf(" %4.0f MiB%s\n", line.mib, failures ? "  (some failed)" : "");
                else
                    std::printf("\n");
            }
            std::printf("  %-10s %8d   import %.1f s; answers: GET / %.1f KB, ?moi= %.1f KB, API "
                        "page %.1f KB\n",
                        engine, entries, line.import,
                        static_cast<double>(line.cells[0][Page].bytes) / 1000,
                        static_cast<double>(line.cells[0][Own].bytes) / 1000,
                        static_cast<double>(line.cells[0][Api].bytes) / 1000);
            std::fflush(stdout);
            all[engine][entries] = line;
            server.stop();
        }
    }
    std::printf("Goals:\n");
    for (const auto& [engine, lines] : all)
        goals(engine.c_str(), lines);
    return 0;
}
