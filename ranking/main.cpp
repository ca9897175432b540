// dorlo-ranking: the publisher's permanent ranking, where a game's ranking code counts.
#include "code_book.h"
#include "csv_transfer.h"
#include "rate_limiter.h"
#include "routes.h"
#include "site.h"
#include "store.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace {

struct Options {
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string database = "sqlite:ranking.sqlite";
    int rateLimit = 20;
    ranking::StoreOptions store;
    std::string importFile, exportFile;
};

constexpr const char* kUsage =
    "usage: dorlo-ranking [--listen HOST:PORT] [--database sqlite:PATH | postgresql://…]\n"
    "                     [--rate-limit N] [--db-timeout MS] [--import|--export FILE.csv]\n"
    "  --listen      address to serve on (default 127.0.0.1:8080; port 0: any free port)\n"
    "  --database    sqlite:PATH (default sqlite:ranking.sqlite) or a libpq URL\n"
    "  --rate-limit  submissions a minute per client address (default 20; 0: no limit)\n"
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
                !parseInt(value.substr(colon + 1), 0, 65535, o.port)) {
                std::cerr << "dorlo-ranking: --listen " << value << ": expected HOST:PORT\n";
                return false;
            }
            o.host = value.substr(0, colon);
            if (o.host.size() > 2 && o.host.front() == '[' && o.host.back() == ']')
                o.host = o.host.substr(1, o.host.size() - 2);
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

    httplib::Server server;
    // Enough workers for many clients keeping their connection open.
    server.new_task_queue = [] {
        return new httplib::ThreadPool(64);
    };
    server.set_keep_alive_max_count(1000);
    // Headers and body go out in separate writes: without this, each answer waits for the
    // client's delayed acknowledgement.
    server.set_tcp_nodelay(true);
    ranking::installRoutes(server, ranking::routes(service, limiter));
    // The library listens with a backlog of 5: a burst of new connections overflows it and
    // the kernel resets some. The listening socket is noted here and its backlog raised below.
    int listener = -1;
    server.set_socket_options([&listener](int fd) {
        httplib::default_socket_options(fd);
        listener = fd;
    });

    const int port = options.port == 0
                         ? server.bind_to_any_port(options.host)
                         : (server.bind_to_port(options.host, options.port) ? options.port : -1);
    if (port < 0) {
        std::cerr << "dorlo-ranking: cannot listen on " << options.host << ":" << options.port
                  << "\n";
        return 1;
    }
    if (::listen(listener, SOMAXCONN) != 0)
        std::perror("dorlo-ranking: listen backlog");
    // The first line of standard output: tests and scripts read the port chosen from it.
    std::printf("dorlo-ranking: listening on http://%s:%d/\n", options.host.c_str(), port);
    std::fflush(stdout);

    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    const bool served = server.listen_after_bind();
    // Wakes the waiter when the server stopped on its own; harmless when it has returned.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    return served ? 0 : 1;
}
