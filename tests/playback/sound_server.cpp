#include "sound_server.h"

#include <QThread>

#include <algorithm>
#include <cstdlib>

#include <signal.h>

namespace testing {

SoundServer::~SoundServer() {
    parec_.kill();
    parec_.waitForFinished();
    kill();
}

QString SoundServer::start() {
    if (!dir_.isValid())
        return QStringLiteral("no temporary folder");
    socket_ = dir_.filePath("native");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    env.insert("PULSE_RUNTIME_PATH", dir_.path());
    env.insert("HOME", dir_.path());
    daemon_.setProcessEnvironment(env);
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.start("pulseaudio",
                  {"-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                   "--disallow-exit", "--log-level=error", "--load=module-null-sink sink_name=test",
                   "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_});
    if (!daemon_.waitForStarted())
        return QStringLiteral("cannot start pulseaudio: ") + daemon_.errorString();
    qputenv("PULSE_SERVER", "unix:" + socket_.toUtf8());
    for (int i = 0; i < 100; ++i) {
        QProcess info;
        info.start("pactl", {"info"});
        if (info.waitForFinished() && info.exitCode() == 0)
            return {};
        QThread::msleep(50);
    }
    return QStringLiteral("pulseaudio does not answer at ") + socket_;
}

void SoundServer::kill() {
    if (daemon_.state() == QProcess::NotRunning)
        return;
    daemon_.kill();
    daemon_.waitForFinished();
}

void SoundServer::pause(bool paused) {
    if (daemon_.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(daemon_.processId()), paused ? SIGSTOP : SIGCONT);
}

void SoundServer::record() {
    parec_.start("parec", {"-d", "test.monitor", "--raw", "--format=s16le", "--rate=24000",
                           "--channels=1", "--latency-msec=20"});
    parec_.waitForStarted();
}

std::vector<short> SoundServer::samples() {
    parec_.terminate();
    parec_.waitForFinished();
    const QByteArray raw = parec_.readAllStandardOutput();
    std::vector<short> out(static_cast<std::size_t>(raw.size()) / 2);
    std::copy_n(raw.constData(), out.size() * 2, reinterpret_cast<char*>(out.data()));
    return out;
}

int peak(const std::vector<short>& s, std::size_t from, std::size_t to) {
    int p = 0;
    for (std::size_t i = from; i < std::min(to, s.size()); ++i)
        p = std::max(p, std::abs(static_cast<int>(s[i])));
    return p;
}

} // namespace testing
