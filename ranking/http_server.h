#pragma once
// An HTTP/1.1 server: one I/O thread reads and writes every connection, route handlers run on a
// bounded pool of workers, so a slow handler never stalls accepting or reading.
#include "http.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace ranking {

struct HttpLimits {
    std::size_t bodyBytes = 4096;     // however sent, chunked included: else 413
    std::size_t headerBytes = 8192;   // request line and header fields: else 431
    std::size_t headerCount = 100;    // else 431
    std::chrono::seconds request{10}; // the whole request, from its first byte
    std::chrono::seconds idle{30};    // the wait for a request on an open connection
    int perAddress = 16;              // open connections per client address, proxies aside
    int total = 512;                  // open connections in all
    int workers = 16;                 // handlers running at once
};

struct ServerSettings {
    std::string host = "127.0.0.1";
    int port = 8080; // 0: any free port
    // Peers whose last X-Forwarded-For address is taken as the client's.
    std::vector<std::string> trustedProxies;
    HttpLimits limits;
};

// "127.0.0.1", "::1": what --trusted-proxy accepts.
bool isIpAddress(const std::string& text);

class HttpServer {
public:
    // Throws std::invalid_argument for a trusted proxy that is not an IP address.
    HttpServer(std::vector<Route> routes, ServerSettings settings);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and listens; the port bound. Throws std::runtime_error when it cannot.
    int listen();
    // Serves on the calling thread until stop().
    void run();
    // From any thread.
    void stop();

    struct Impl; // opaque, so that Asio stays out of this header

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace ranking
