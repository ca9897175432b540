#pragma once
// Raw bytes to a server over a socket, for requests an HTTP client would not send, and the
// answers read back as they come.
#include <QByteArrayList>
#include <QFile>
#include <QList>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct Exchange {
    QList<int> statuses;
    QByteArrayList answers; // head and body of each
    bool closed = false;    // the server ended the connection
};

// A connection from a loopback address of our choice; -1 when it cannot be made.
inline int connectFrom(const char* from, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, from, &a.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Moves the complete answers at the start of `in` into `ex`.
inline void takeAnswers(QByteArray& in, Exchange& ex) {
    for (;;) {
        const qsizetype end = in.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = in.left(end + 2).toLower();
        qsizetype length = 0;
        if (const qsizetype at = head.indexOf("\r\ncontent-length:"); at >= 0)
            length =
                head.mid(at + 17, head.indexOf("\r\n", at + 2) - at - 17).trimmed().toLongLong();
        if (in.size() < end + 4 + length)
            return;
        ex.statuses << in.mid(9, 3).toInt();
        ex.answers << in.left(end + 4 + length);
        in.remove(0, end + 4 + length);
    }
}

// Sends `sent`, then `flood` again and again (64 MiB at most) for as long as the server
// reads, and reads until `answers` answers have come (and the end, when `untilClosed`),
// or for 15 s. Takes the socket.
inline Exchange exchange(int fd, QByteArray sent, const QByteArray& flood, int answers,
                         bool untilClosed) {
    using namespace std::chrono;
    Exchange ex;
    if (fd < 0)
        return ex;
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    QByteArray in;
    qsizetype offset = 0;
    qint64 flooded = 0;
    bool sending = true;
    const auto deadline = steady_clock::now() + seconds(15);
    while (!ex.closed && steady_clock::now() < deadline &&
           (untilClosed || ex.statuses.size() < answers)) {
        if (offset == sent.size() && !flood.isEmpty() && flooded < (qint64(64) << 20)) {
            sent = flood;
            offset = 0;
            flooded += flood.size();
        }
        sending = sending && offset < sent.size();
        pollfd p{fd, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, 100) < 0)
            break;
        if (p.revents & POLLOUT) {
            const ssize_t n = ::send(fd, sent.constData() + offset,
                                     static_cast<size_t>(sent.size() - offset), MSG_NOSIGNAL);
            if (n > 0)
                offset += n;
            else if (errno != EAGAIN)
                sending = false;
        }
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[65536];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                in.append(buffer, n);
                takeAnswers(in, ex);
            } else if (n == 0 || errno != EAGAIN) {
                ex.closed = true;
            }
        }
    }
    ::close(fd);
    return ex;
}

// The resident memory of a process, in KiB; 0 when unknown.
inline long residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// `each` connections from each of 127.0.0.2 to 127.0.0.11, sending a request a byte a second
// for as long as the object lives.
class SlowCrowd {
public:
    SlowCrowd(int port, int each) {
        using namespace std::chrono;
        if (each == 0)
            return;
        for (int a = 2; a <= 11; ++a) {
            const std::string from = "127.0.0." + std::to_string(a);
            for (int i = 0; i < each; ++i) {
                const int fd = connectFrom(from.c_str(), port);
                if (fd < 0)
                    continue;
                ::fcntl(fd, F_SETFL, O_NONBLOCK);
                ::send(fd, kRequest, 1, MSG_NOSIGNAL);
                fds_.push_back(fd);
            }
        }
        // Those the server closes at once: counted until the count holds for half a second.
        auto stable = steady_clock::now();
        const auto deadline = stable + seconds(3);
        while (steady_clock::now() < deadline && steady_clock::now() - stable < milliseconds(500)) {
            std::this_thread::sleep_for(milliseconds(50));
            std::erase_if(fds_, [this, &stable](int fd) {
                char c;
                const ssize_t n = ::recv(fd, &c, 1, 0);
                if (n > 0 || (n < 0 && errno == EAGAIN))
                    return false;
                ::close(fd);
                ++refused;
                stable = steady_clock::now();
                return true;
            });
        }
        trickler_ = std::thread([this] {
            for (std::size_t i = 1; i + 1 < sizeof kRequest && !stop_; ++i) {
                for (int tick = 0; tick < 20 && !stop_; ++tick)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                for (const int fd : fds_)
                    ::send(fd, kRequest + i, 1, MSG_NOSIGNAL);
            }
        });
    }
    ~SlowCrowd() {
        stop_ = true;
        if (trickler_.joinable())
            trickler_.join();
        for (const int fd : fds_)
            ::close(fd);
    }
    int kept() const { return static_cast<int>(fds_.size()); }
    int refused = 0;

private:
    static constexpr char kRequest[] = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    std::vector<int> fds_;
    std::thread trickler_;
    std::atomic<bool> stop_ = false;
};
