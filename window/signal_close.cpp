#include "window/signal_close.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace window {
namespace {

int pipeFds[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

bool catchTerminationSignals() {
    if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "dorlo: signaux non interceptés : %s\n", std::strerror(errno));
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT}) {
        if (::sigaction(sig, &action, nullptr) != 0) {
            std::fprintf(stderr, "dorlo: signaux non interceptés : %s\n", std::strerror(errno));
            return false;
        }
    }
    return true;
}

void closeOnTerminationSignals(QWidget* window) {
    if (pipeFds[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, window);
    QPointer<QWidget> target(window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
        char buffer[16];
        while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
        }
        if (target)
            target->close(); // runs the unload
        QCoreApplication::quit();
    });
}

} // namespace window
