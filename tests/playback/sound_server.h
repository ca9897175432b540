#pragma once
// A private PulseAudio server for one test process: a null sink as its default sink, its
// monitor recorded on demand, a kill to stand for a server that dies mid-play, and a pause
// for one that hangs.
// Players created after start() use it (PULSE_SERVER).
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace testing {

class SoundServer {
public:
    ~SoundServer();
    // Empty when the server runs, otherwise why it does not.
    QString start();
    void kill();
    // Stops the server's process (SIGSTOP), or lets it go on (SIGCONT).
    void pause(bool paused);

    // Records the null sink from now on, 24 kHz mono; samples() ends the recording.
    void record();
    std::vector<short> samples();

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QProcess parec_;
    QString socket_;
};

// The largest sample's magnitude over a span.
int peak(const std::vector<short>& s, std::size_t from, std::size_t to);

} // namespace testing
