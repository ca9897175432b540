// The media backend over the sound server's own asynchronous API, built as the module
// libdorlo-media.so: one connection kept from the warm-up on, one short-buffered stream
// per play, fed from the decoder as the server asks.
#include "media_backend.h"
#include "mp3_decoder.h"

#include <QFile>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace playback {
namespace {

// What the server keeps queued: small, so a play starts and a volume change is heard
// within a few tens of milliseconds.
constexpr pa_usec_t kBufferUsec = 30 * 1000;
// How long a play waits for the server to take its stream; a server that hangs fails it.
constexpr pa_usec_t kAnswerUsec = 2 * PA_USEC_PER_SEC;

class PulseBackend final : public MediaBackend {
public:
    PulseBackend() : loop_(pa_threaded_mainloop_new()) {
        pa_threaded_mainloop_start(loop_);
        Lock lock(loop_);
        connect();
    }
    ~PulseBackend() override {
        {
            Lock lock(loop_);
            dropStream();
            dropContext();
        }
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }

    void open(const QString& path) override {
        QFile file(path);
        QByteArray bytes;
        QString problem;
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            problem = file.errorString();
        Lock lock(loop_);
        dropStream();
        mp3_ = bytes;
        openError_ = problem;
    }
    void close() override {
        Lock lock(loop_);
        dropStream();
        mp3_.clear();
        decoder_.close();
    }

    QString play(int id) override {
        Lock lock(loop_);
        dropStream();
        if (!openError_.isEmpty())
            return openError_;
        QString error;
        if (mp3_.isEmpty() || !decoder_.open(mp3_, &error))
            return mp3_.isEmpty() ? QStringLiteral("empty file") : error;
        id_ = id;
        pending_ = true;
        awaitAnswer();
        switch (context_ ? pa_context_get_state(context_) : PA_CONTEXT_UNCONNECTED) {
        case PA_CONTEXT_READY:
            startStream();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
        case PA_CONTEXT_UNCONNECTED:
            // The server was missing or went away: try again, it may be back.
            if (!connect()) {
                const QString why = serverError();
                dropStream();
                return why;
            }
            break;
        default:
            break; // still connecting: the stream starts once the connection is ready
        }
        return {};
    }
    void stop() override {
        Lock lock(loop_);
        dropStream();
    }
    void setGain(double gain) override { gain_.store(static_cast<float>(gain)); }

private:
    struct Lock {
        explicit Lock(pa_threaded_mainloop* l) : loop(l) { pa_threaded_mainloop_lock(loop); }
        ~Lock() { pa_threaded_mainloop_unlock(loop); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        pa_threaded_mainloop* loop;
    };

    QString serverError() const {
        return QStringLiteral("sound server: %1")
            .arg(QString::fromUtf8(pa_strerror(pa_context_errno(context_))));
    }

    bool connect() {
        dropContext();
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Dorlo Zidoduder 04");
        pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "game");
        context_ =
            pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), nullptr, props);
        pa_proplist_free(props);
        pa_context_set_state_callback(context_, &PulseBackend::contextState, this);
        // A game does not start a sound server of its own.
        return pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    }
    void dropContext() {
        if (!context_)
            return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }

    void startStream() {
        draining_ = false;
        pa_sample_spec spec{PA_SAMPLE_S16NE, static_cast<uint32_t>(decoder_.rate()),
                            static_cast<uint8_t>(decoder_.channels())};
#ifdef DORLO_MEDIA_REFUSE_STREAMS
        spec.channels = 0; // a test build: a format the library will not make a stream of
#endif
        stream_ = pa_stream_new(context_, "excerpt", &spec, nullptr);
        if (!stream_) {
            fail(serverError()); // still pending, so the play ends
            return;
        }
        pending_ = false;
        pa_stream_set_state_callback(stream_, &PulseBackend::streamState, this);
        pa_stream_set_write_callback(stream_, &PulseBackend::streamWrite, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kBufferUsec, &spec));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                       nullptr) < 0)
            fail(serverError());
    }
    void dropStream() {
        pending_ = false;
        if (answerTimer_) {
            pa_threaded_mainloop_get_api(loop_)->time_free(answerTimer_);
            answerTimer_ = nullptr;
        }
        if (!stream_)
            return;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    // Ends the current play with a reason, once.
    void fail(const QString& why) {
        if (!stream_ && !pending_)
            return;
        dropStream();
        if (failed)
            failed(id_, why);
    }

    // Until the stream is ready: a server that stopped answering fails the play, and its
    // connection is dropped, so that the next play connects afresh.
    void awaitAnswer() {
        if (!context_)
            connect();
        answerTimer_ = pa_context_rttime_new(context_, pa_rtclock_now() + kAnswerUsec,
                                             &PulseBackend::answerLate, this);
    }
    static void answerLate(pa_mainloop_api* api, pa_time_event* e, const timeval*, void* self) {
        auto* b = static_cast<PulseBackend*>(self);
        api->time_free(e);
        b->answerTimer_ = nullptr;
        b->fail(QStringLiteral("the sound server does not answer"));
        b->dropContext();
    }

    void feed(std::size_t bytes) {
        if (draining_)
            return;
        void* data = nullptr;
        if (pa_stream_begin_write(stream_, &data, &bytes) < 0 || !data) {
            fail(serverError());
            return;
        }
        auto* samples = static_cast<std::int16_t*>(data);
        const std::ptrdiff_t got = decoder_.read(samples, bytes);
        if (got <= 0) {
            pa_stream_cancel_write(stream_);
            if (got < 0) {
                fail(QStringLiteral("the file cannot be decoded further"));
                return;
            }
            draining_ = true;
            pa_operation_unref(pa_stream_drain(stream_, &PulseBackend::drained, this));
            return;
        }
        const float gain = gain_.load();
        if (gain < 1.0f)
            for (std::ptrdiff_t i = 0; i < got / 2; ++i)
                samples[i] = static_cast<std::int16_t>(std::lround(samples[i] * gain));
        pa_stream_write(stream_, data, static_cast<std::size_t>(got), nullptr, 0, PA_SEEK_RELATIVE);
    }

    static void contextState(pa_context* c, void* self) {
        auto* b = static_cast<PulseBackend*>(self);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            if (b->pending_)
                b->startStream();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            b->fail(b->serverError());
            break;
        default:
            break;
        }
    }
    static void streamState(pa_stream* s, void* self) {
        auto* b = static_cast<PulseBackend*>(self);
        if (s != b->stream_)
            return;
        const pa_stream_state_t st = pa_stream_get_state(s);
        if (st == PA_STREAM_READY && b->answerTimer_) {
            pa_threaded_mainloop_get_api(b->loop_)->time_free(b->answerTimer_);
            b->answerTimer_ = nullptr;
        }
        if (st == PA_STREAM_FAILED || st == PA_STREAM_TERMINATED)
            b->fail(b->serverError());
    }
    static void streamWrite(pa_stream* s, std::size_t bytes, void* self) {
        auto* b = static_cast<PulseBackend*>(self);
        if (s == b->stream_)
            b->feed(bytes);
    }
    static void drained(pa_stream* s, int success, void* self) {
        auto* b = static_cast<PulseBackend*>(self);
        if (s != b->stream_ || !success)
            return;
        b->dropStream();
        if (b->ended)
            b->ended(b->id_);
    }

    pa_threaded_mainloop* loop_;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_time_event* answerTimer_ = nullptr;
    bool pending_ = false;  // a play waits for the connection
    bool draining_ = false; // the whole clip is queued
    int id_ = 0;
    QByteArray mp3_;
    QString openError_;
    Mp3Decoder decoder_;
    std::atomic<float> gain_{1.0f};
};

} // namespace
} // namespace playback

extern "C" Q_DECL_EXPORT playback::MediaBackend* dorlo_media_backend_v2() {
    return new playback::PulseBackend;
}
