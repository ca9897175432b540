// Records a PulseAudio source, runs one command once the source has been silent for a while,
// and prints the milliseconds from the command's start to the first sample above -40 dBFS,
// or "none" when nothing sounds within the time allowed. Exit status: 0 sound, 1 none, 2 error.
#include <pulse/error.h>
#include <pulse/simple.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChunk = kRate / 1000;         // one read per millisecond
constexpr int kThreshold = 328;              // -40 dBFS of a 16-bit sample
constexpr int kQuietBefore = kRate * 3 / 10; // silence wanted before the command starts
constexpr int kQuietWithin = kRate * 5;      // give up waiting for silence
constexpr double kListenSeconds = 3.0;

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

bool loud(const short* s, int n, int* at) {
    for (int i = 0; i < n; ++i)
        if (std::abs(static_cast<int>(s[i])) > kThreshold) {
            *at = i;
            return true;
        }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <source> command [arguments...]\n", argv[0]);
        return 2;
    }
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = kChunk * 2;
    int err = 0;
    pa_simple* rec = pa_simple_new(nullptr, "latency-probe", PA_STREAM_RECORD, argv[1], "probe",
                                   &spec, nullptr, &attr, &err);
    if (!rec) {
        std::fprintf(stderr, "latency_probe: cannot record %s: %s\n", argv[1], pa_strerror(err));
        return 2;
    }
    std::vector<short> buf(kChunk);
    auto read = [&] {
        if (pa_simple_read(rec, buf.data(), buf.size() * 2, &err) < 0) {
            std::fprintf(stderr, "latency_probe: read: %s\n", pa_strerror(err));
            std::exit(2);
        }
    };
    int quiet = 0;
    for (int seen = 0; quiet < kQuietBefore; seen += kChunk) {
        if (seen > kQuietWithin) {
            std::fprintf(stderr, "latency_probe: %s never falls silent\n", argv[1]);
            return 2;
        }
        read();
        int at = 0;
        quiet = loud(buf.data(), kChunk, &at) ? 0 : quiet + kChunk;
    }
    // Data read later than this was captured after the command started, give or take the
    // source's own latency, which every player measured here pays alike.
    pa_simple_flush(rec, nullptr);
    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    int found = 1;
    while (now() - start < kListenSeconds) {
        read();
        const double got = now();
        int at = 0;
        if (loud(buf.data(), kChunk, &at)) {
            const double when = got - double(kChunk - 1 - at) / kRate;
            std::printf("%.1f\n", (when - start) * 1000);
            found = 0;
            break;
        }
    }
    if (found)
        std::printf("none\n");
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == 0) {
        // A player still playing is stopped here; a click has long returned.
        kill(child, SIGTERM);
        waitpid(child, &status, 0);
    }
    pa_simple_free(rec);
    return found;
}
