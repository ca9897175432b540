// dorlo-ranking: the publisher's permanent ranking, where a game's ranking code counts.
#include "code_book.h"
#include "csv_transfer.h"
#include "http_server.h"
#include "rate_limiter.h"
#include "routes.h"
#include "store.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

struct Options {
    ranking::ServerSettings server;
    std::string database = "sqlite:ranking.sqlite";
    int rateLimit = 20;
    ranking::StoreOptions store;
    std::string importFile, exportFile;
};

constexpr const char* kUsage =
    "usage: dorlo-ranking [--listen HOST:PORT] [--database sqlite:PATH | postgresql://…]\n"
    "                     [--rate-limit N] [--trusted-proxy ADDR]... [--db-timeout MS]\n"
    "                     [--import FILE.csv | --export FILE.csv]\n"
    "  --listen      address to serve on (default 127.0.0.1:8080; port 0: any free port)\n"
    "  --database    sqlite:PATH (default sqlite:ranking.sqlite) or a libpq URL\n"
    "  --rate-limit  submissions a minute per client address (default 20; 0: no limit)\n"
    "  --trusted-proxy  a reverse proxy's IP address; from it, the client's address is the\n"
    "                last one in X-Forwarded-For (repeatable; by default none is trusted)\n"
    "  --db-timeout  bound on each statement, lock and wait for the database (default 2000)\n"
    "  --import      adds the entries of a CSV file (pseudo;score;eligible;date), then exits\n"
    "  --export      writes the ranking to a CSV file of that format, then exits\n";

bool parseInt(const std::string& text, int low, int high, int& out) {
    try {
        std::size_t used = 0;
        const int v = std::stoi(text, &used);
        if (used != text.size() || v < low || v > high)
            return false;
        out = v;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::cerr << "dorlo-ranking: " << arg << ": missing value or unknown option\n";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--listen") {
            const auto colon = value.rfind(':');
            if (colon == std::string::npos || colon == 0 ||
                !parseInt(value.substr(colon + 1), 0, 65535, o.server.port)) {
                std::cerr << "dorlo-ranking: --listen " << value << ": expected HOST:PORT\n";
                return false;
            }
            std::string& host = o.server.host;
            host = value.substr(0, colon);
            if (host.size() > 2 && host.front() == '[' && host.back() == ']')
                host = host.substr(1, host.size() - 2);
        } else if (arg == "--trusted-proxy") {
            if (!ranking::isIpAddress(value)) {
                std::cerr << "dorlo-ranking: --trusted-proxy " << value
                          << ": expected an IP address\n";
                return false;
            }
            o.server.trustedProxies.push_back(value);
        } else if (arg == "--database") {
            o.database = value;
        } else if (arg == "--rate-limit") {
            if (!parseInt(value, 0, 1000000, o.rateLimit)) {
                std::cerr << "dorlo-ranking: --rate-limit " << value
                          << ": expected a number from 0\n";
                return false;
            }
        } else if (arg == "--db-timeout") {
            if (!parseInt(value, 100, 600000, o.store.timeoutMs)) {
                std::cerr << "dorlo-ranking: --db-timeout " << value
                          << ": expected milliseconds from 100\n";
                return false;
            }
        } else if (arg == "--import" || arg == "--export") {
            (arg == "--import" ? o.importFile : o.exportFile) = value;
        } else {
            std::cerr << "dorlo-ranking: unknown option " << arg << "\n" << kUsage;
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options))
        return 2;

    // SIGINT and SIGTERM stop the server cleanly; blocked here so that every thread started
    // later inherits the mask and only the waiter below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<ranking::Store> store;
    try {
        store = ranking::openStore(options.database, options.store);
    } catch (const ranking::StoreError& e) {
        std::cerr << "dorlo-ranking: " << e.what() << "\n";
        return 1;
    }
    if (!options.importFile.empty() || !options.exportFile.empty())
        return options.importFile.empty() ? ranking::exportCsv(*store, options.exportFile)
                                          : ranking::importCsv(*store, options.importFile);
    const ranking::CodeBook codes = ranking::CodeBook::ofThisEdition();
    ranking::RateLimiter limiter(options.rateLimit);
    ranking::Service service(*store, codes);

    std::unique_ptr<ranking::HttpServer> server;
    int port = -1;
    try {
        server = std::make_unique<ranking::HttpServer>(ranking::routes(service, limiter),
                                                       options.server);
        port = server->listen();
    } catch (const std::exception& e) {
        std::cerr << "dorlo-ranking: cannot listen on " << options.server.host << ":"
                  << options.server.port << ": " << e.what() << "\n";
        return 1;
    }
    // The first line of standard output: tests and scripts read the port chosen from it.
    std::printf("dorlo-ranking: listening on http://%s:%d/\n", options.server.host.c_str(), port);
    std::fflush(stdout);

    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server->stop();
    });
    server->run();
    // Wakes the waiter when the server stopped on its own; harmless when it has returned.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return 0;
}
