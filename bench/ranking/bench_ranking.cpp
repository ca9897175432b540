// Submissions a second and their latency on a real dorlo-ranking process, each a new
// pseudonym (one row written and committed per request), on SQLite and PostgreSQL.
#include "fixtures/server_process.h"

#include "ranking/code_book.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double perSecond = 0;
    double p50 = 0; // ms
    double p99 = 0;
    int failures = 0;
};

Figures run(const ServerProcess& server, int clients, double seconds,
            const std::vector<std::string>& codes) {
    std::vector<std::vector<double>> latencies(clients);
    std::atomic<int> failures = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            auto client = server.client();
            client->set_keep_alive(true);
            for (int i = 0; Clock::now() < end; ++i) {
                const QJsonObject body{
                    {"pseudo", QStringLiteral("c%1 n%2").arg(c).arg(i)},
                    {"code", QString::fromStdString(codes[(c + i) % codes.size()])}};
                const auto t0 = Clock::now();
                const auto r = client->Post(
                    "/api/scores", QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json");
                const auto t1 = Clock::now();
                if (!r || r->status != 201)
                    ++failures;
                latencies[c].push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<double> all;
    for (const auto& l : latencies)
        all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    Figures f;
    if (all.empty())
        return f;
    f.perSecond = static_cast<double>(all.size()) / elapsed;
    f.p50 = all[all.size() / 2];
    f.p99 = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    f.failures = failures;
    return f;
}

} // namespace

int main() {
    const double seconds = qEnvironmentVariableIntValue("DORLO_BENCH_SECONDS") > 0
                               ? qEnvironmentVariableIntValue("DORLO_BENCH_SECONDS")
                               : 3.0;
    const ranking::CodeBook book = ranking::CodeBook::ofThisEdition();
    std::vector<std::string> codes;
    for (int n = 1; n <= 30; ++n)
        codes.push_back(book.codeOf({n, true}).toStdString());

    QTemporaryDir files;
    ScratchCluster cluster;
    std::printf("Ranking submissions (POST /api/scores, a new pseudonym each, keep-alive), %.0f s "
                "per line:\n",
                seconds);
    std::printf("  %-11s %7s %10s %9s %9s\n", "database", "clients", "subs/s", "p50 ms", "p99 ms");
    int status = 0;
    for (const char* engine : {"sqlite", "postgresql"}) {
        for (int clients : {1, 8, 32}) {
            const QString db =
                QString(engine) == "sqlite"
                    ? "sqlite:" + files.filePath(QStringLiteral("b%1.sqlite").arg(clients))
                    : cluster.freshDatabase();
            ServerProcess server;
            // 32 clients from one address are more than the server keeps from anyone but a
            // proxy: they are one, as in production.
            if (db.isEmpty() || !server.start(db, 0, {"--trusted-proxy", "127.0.0.1"})) {
                std::fprintf(stderr, "bench_ranking: %s\n",
                             qPrintable(db.isEmpty() ? cluster.error : server.error));
                return 1;
            }
            const Figures f = run(server, clients, seconds, codes);
            std::printf("  %-11s %7d %10.0f %9.2f %9.2f%s\n", engine, clients, f.perSecond, f.p50,
                        f.p99, f.failures ? "  (some refused or failed)" : "");
            status |= f.failures ? 1 : 0;
            server.stop();
        }
    }
    return status;
}
