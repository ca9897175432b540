#include "http_server.h"

#include "http_wire.h"
#include "log.h"
#include "rate_limiter.h"
#include "url_coding.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace ranking {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

// After an answer that closes the connection, what the client still sends is read and dropped
// for this long, so that closing with unread data does not reset the answer away.
constexpr std::chrono::seconds kLinger{2};
constexpr std::chrono::seconds kWrite{10};

asio::ip::address plain(asio::ip::address a) {
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6());
    return a;
}

// A status for a request the parser refused, or 0 when the connection just ended or timed out.
int refusalFor(const error_code& ec) {
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
        return 431;
    if (ec == http::error::body_limit)
        return 413;
    if (ec == http::error::end_of_stream || ec == http::error::partial_message)
        return 0;
    return ec.category() == http::make_error_code(http::error::bad_method).category() ? 400 : 0;
}

} // namespace

struct HttpServer::Impl {
    Impl(std::vector<Route> r, ServerSettings s)
        : routes(std::move(r)), settings(std::move(s)),
          workers(static_cast<std::size_t>(std::max(1, settings.limits.workers))) {
        for (const std::string& text : settings.trustedProxies) {
            error_code ec;
            const auto a = asio::ip::make_address(text, ec);
            if (ec)
                throw std::invalid_argument(text + ": not an IP address");
            trusted.push_back(plain(a));
        }
    }

    bool isTrusted(const asio::ip::address& a) const {
        return std::find(trusted.begin(), trusted.end(), a) != trusted.end();
    }
    // Counts a new connection; false when its address or the server has too many.
    bool admit(const std::string& address, bool exempt) {
        std::lock_guard lock(countsMutex);
        int& mine = perAddress[address];
        if (open >= settings.limits.total || (!exempt && mine >= settings.limits.perAddress)) {
            if (mine == 0)
                perAddress.erase(address);
            return false;
        }
        ++mine;
        ++open;
        return true;
    }
    void release(const std::string& address) {
        std::lock_guard lock(countsMutex);
        if (--perAddress[address] <= 0)
            perAddress.erase(address);
        --open;
    }
    void accept();
    // An answer is on its way: while stopping, the server waits for it.
    void answering() { ++busy; }
    void answered() {
        if (--busy == 0 && stopping)
            io.stop();
    }

    const std::vector<Route> routes;
    const ServerSettings settings;
    std::vector<asio::ip::address> trusted;
    // Declared before the I/O context: connections still queued there release their count
    // when it is destroyed.
    std::mutex countsMutex;
    std::unordered_map<std::string, int> perAddress;
    int open = 0;
    asio::io_context io;
    tcp::acceptor acceptor{io};
    asio::steady_timer retry{io};
    asio::steady_timer stopDeadline{io};
    // I/O thread only.
    bool stopping = false;
    int busy = 0;
    // Declared after the I/O context: its queued tasks hold connections bound to it.
    asio::thread_pool workers;
};

namespace {

// One connection: a request is read whole, handed to a worker, answered, and only then is the
// next one read, so pipelined requests are answered in order.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(HttpServer::Impl& server, tcp::socket socket, std::string peer, std::string counted,
            bool trusted)
        : server_(server), stream_(std::move(socket)),
          buffer_(2 * server.settings.limits.headerBytes + 1024), peer_(std::move(peer)),
          counted_(std::move(counted)), trusted_(trusted) {}
    ~Session() { server_.release(counted_); }

    void nextRequest() {
        const HttpLimits& limits = server_.settings.limits;
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(limits.headerBytes));
        parser_->body_limit(limits.bodyBytes);
        if (buffer_.size() > 0) {
            stream_.expires_after(limits.request);
            return readHeader();
        }
        stream_.expires_after(limits.idle);
        stream_.async_read_some(
            buffer_.prepare(1024), [self = shared_from_this()](error_code ec, std::size_t n) {
                if (ec)
                    return self->stream_.close();
                self->buffer_.commit(n);
                self->stream_.expires_after(self->server_.settings.limits.request);
                self->readHeader();
            });
    }

private:
    void readHeader() {
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](error_code ec, std::size_t n) { self->onHeader(ec, n); });
    }

    void onHeader(error_code ec, std::size_t headerSize) {
        if (ec)
            return refuse(refusalFor(ec));
        const HttpLimits& limits = server_.settings.limits;
        const auto& m = parser_->get();
        const auto count = static_cast<std::size_t>(std::distance(m.begin(), m.end()));
        if (headerSize > limits.headerBytes || count > limits.headerCount)
            return refuse(431);
        const auto hosts = m.count(http::field::host);
        if (hosts > 1 || (hosts == 0 && m.version() >= 11))
            return refuse(400);
        // A coding other than chunked leaves the body's end unknown.
        if (m.count(http::field::transfer_encoding) > 0 && !parser_->chunked())
            return refuse(400);
        if (parser_->is_done())
            return dispatch();
        if (beast::iequals(m[http::field::expect], "100-continue")) {
            static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            return asio::async_write(stream_, asio::buffer(kContinue),
                                     [self = shared_from_this()](error_code e, std::size_t) {
                                         if (e)
                                             return self->stream_.close();
                                         self->readBody();
                                     });
        }
        readBody();
    }

    void readBody() {
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](error_code ec, std::size_t) {
                             // A chunk header too long for the buffer is a body too large.
                             if (ec == http::error::buffer_overflow)
                                 return self->refuse(413);
                             if (ec)
                                 return self->refuse(refusalFor(ec));
                             self->dispatch();
                         });
    }

    // The client's address: the peer's, or the one a trusted proxy added last.
    std::string client(const HttpRequest& r) const {
        if (!trusted_)
            return peer_;
        const std::string* forwarded = nullptr;
        for (const auto& [name, value] : r.headers) {
            if (name == "x-forwarded-for")
                forwarded = &value;
        }
        if (!forwarded)
            return peer_;
        std::string last = forwarded->substr(forwarded->rfind(',') + 1);
        last.erase(0, last.find_first_not_of(" \t"));
        last.erase(last.find_last_not_of(" \t") + 1);
        error_code ec;
        const auto a = asio::ip::make_address(last, ec);
        return ec ? peer_ : plain(a).to_string();
    }

    void dispatch() {
        if (server_.stopping)
            return stream_.close();
        server_.answering();
        auto& m = parser_->get();
        HttpRequest r;
        r.method = std::string(m.method_string());
        std::string_view target(m.target().data(), m.target().size());
        // Absolute form, as sent to proxies.
        if (const auto scheme = target.find("://");
            scheme != std::string_view::npos && target.front() != '/') {
            const auto slash = target.find('/', scheme + 3);
            target = slash == std::string_view::npos ? "/" : target.substr(slash);
        }
        if (target.empty() || target.front() != '/') {
            parser_.reset();
            return send(plainAnswer(400), false, false);
        }
        const auto question = target.find('?');
        r.path = percentDecode(target.substr(0, question), false);
        if (question != std::string_view::npos)
            r.query = std::string(target.substr(question + 1));
        for (const auto& field : m) {
            const auto name = field.name_string();
            r.headers.emplace_back(asciiLower({name.data(), name.size()}),
                                   std::string(field.value()));
        }
        r.body = std::move(m.body());
        r.client = client(r);
        const bool keepAlive = m.keep_alive();
        const bool head = r.method == "HEAD";
        parser_.reset();

        const Route* match = nullptr;
        std::string allow;
        for (const Route& route : server_.routes) {
            if (route.path != r.path)
                continue;
            if (route.method == r.method || (head && route.method == "GET"))
                match = &route;
            allow += (allow.empty() ? "" : ", ") + route.method;
            if (route.method == "GET")
                allow += ", HEAD";
        }
        if (!match) {
            HttpResponse res = plainAnswer(allow.empty() ? 404 : 405);
            if (!allow.empty())
                res.headers.emplace_back("Allow", allow);
            return send(std::move(res), head, keepAlive);
        }
        asio::post(server_.workers,
                   [self = shared_from_this(), match, r = std::move(r), head, keepAlive]() mutable {
                       HttpResponse res = run(*match, r);
                       asio::post(self->stream_.get_executor(),
                                  [self, res = std::move(res), head, keepAlive]() mutable {
                                      self->send(std::move(res), head, keepAlive);
                                  });
                   });
    }

    static HttpResponse run(const Route& route, const HttpRequest& r) {
        try {
            return route.handler(r);
        } catch (const std::exception& e) {
            logLine(r.method + " " + r.path + ": " + e.what());
        } catch (...) {
            logLine(r.method + " " + r.path + ": unknown exception");
        }
        return plainAnswer(500);
    }

    void send(HttpResponse res, bool head, bool keepAlive) {
        // A client that sent something wrong is not trusted to frame its next request.
        keepAlive = keepAlive && res.status != 400 && !server_.stopping;
        out_ = serialize(std::move(res), head, keepAlive);
        stream_.expires_after(kWrite);
        asio::async_write(stream_, asio::buffer(out_),
                          [self = shared_from_this(), keepAlive](error_code ec, std::size_t) {
                              std::string().swap(self->out_);
                              self->server_.answered();
                              if (ec || self->server_.stopping)
                                  return self->stream_.close();
                              if (!keepAlive)
                                  return self->linger();
                              self->nextRequest();
                          });
    }

    // Answers a request the transport refuses and closes; just closes when status is 0.
    void refuse(int status) {
        parser_.reset();
        if (status == 0)
            return stream_.close();
        server_.answering();
        send(plainAnswer(status), false, false);
    }

    void linger() {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        buffer_.clear();
        stream_.expires_after(kLinger);
        drain();
    }
    void drain() {
        stream_.async_read_some(asio::buffer(discard_),
                                [self = shared_from_this()](error_code ec, std::size_t) {
                                    if (ec)
                                        return self->stream_.close();
                                    self->drain();
                                });
    }

    HttpServer::Impl& server_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::string out_;
    std::array<char, 4096> discard_{};
    const std::string peer_;
    const std::string counted_;
    const bool trusted_;
};

} // namespace

void HttpServer::Impl::accept() {
    acceptor.async_accept(io, [this](error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted)
            return;
        if (ec) {
            // Out of descriptors, most likely: wait for connections to end.
            logLine("accept: " + ec.message());
            retry.expires_after(std::chrono::milliseconds(100));
            retry.async_wait([this](error_code e) {
                if (!e)
                    accept();
            });
            return;
        }
        error_code e;
        const auto endpoint = socket.remote_endpoint(e);
        if (!e) {
            const auto address = plain(endpoint.address());
            const bool proxy = isTrusted(address);
            std::string counted = clientGroup(address.to_string());
            // Refused at once: the client's other connections are what it is waiting on.
            if (admit(counted, proxy)) {
                socket.set_option(tcp::no_delay(true), e);
                std::make_shared<Session>(*this, std::move(socket), address.to_string(),
                                          std::move(counted), proxy)
                    ->nextRequest();
            }
        }
        accept();
    });
}

bool isIpAddress(const std::string& text) {
    error_code ec;
    asio::ip::make_address(text, ec);
    return !ec;
}

HttpServer::HttpServer(std::vector<Route> routes, ServerSettings settings)
    : impl_(std::make_unique<Impl>(std::move(routes), std::move(settings))) {}

HttpServer::~HttpServer() {
    impl_->io.stop();
    impl_->workers.stop();
    impl_->workers.join();
}

int HttpServer::listen() {
    Impl& s = *impl_;
    error_code ec;
    const auto address = asio::ip::make_address(s.settings.host, ec);
    tcp::endpoint endpoint;
    if (!ec) {
        endpoint = {address, static_cast<unsigned short>(s.settings.port)};
    } else {
        tcp::resolver resolver(s.io);
        const auto found = resolver.resolve(s.settings.host, std::to_string(s.settings.port), ec);
        if (ec || found.empty())
            throw std::runtime_error(s.settings.host + ": " + ec.message());
        endpoint = *found.begin();
    }
    s.acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        s.acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        s.acceptor.bind(endpoint, ec);
    if (!ec)
        s.acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
        throw std::runtime_error(ec.message());
    return s.acceptor.local_endpoint().port();
}

void HttpServer::run() {
    impl_->accept();
    for (;;) {
        try {
            impl_->io.run();
            return;
        } catch (const std::exception& e) {
            // One connection's fault, not the server's.
            logLine(std::string("connection: ") + e.what());
        }
    }
}

void HttpServer::stop() {
    // Answers under way are still written, for a few seconds at most; the rest is dropped.
    asio::post(impl_->io, [&s = *impl_] {
        if (s.stopping)
            return;
        s.stopping = true;
        error_code ignored;
        s.acceptor.close(ignored);
        if (s.busy == 0)
            return s.io.stop();
        s.stopDeadline.expires_after(std::chrono::seconds(5));
        s.stopDeadline.async_wait([&s](error_code) { s.io.stop(); });
    });
}

} // namespace ranking
