#pragma once
// What the embedded player needs of an audio output. The output lives in a module of its
// own (libdorlo-media.so beside the game), loaded off the user-interface thread once the
// window is shown, so that start-up neither maps nor initialises it.
#include <QString>

#include <functional>

namespace playback {

class MediaBackend {
public:
    virtual ~MediaBackend() = default;

    // Reads the whole file, so it is never held open; a reading error is kept for play().
    virtual void open(const QString& path) = 0;
    virtual void close() = 0;
    // The opened file from its start, under the number `id`; empty when playback starts,
    // otherwise why it cannot (nothing opened, undecodable, no sound server).
    virtual QString play(int id) = 0;
    virtual void stop() = 0;
    virtual void setGain(double gain) = 0; // linear, 0..1; also during playback

    // Set before the first play; called from the backend's own thread with the number of
    // the play they concern.
    std::function<void(int id)> ended;
    std::function<void(int id, const QString& message)> failed;
};

// The module's one entry point: extern "C" MediaBackend* <kMediaBackendFactory>(); it
// starts connecting to the sound server at once. The version in the name keeps a module
// from another build from being used.
using MediaBackendFactory = MediaBackend* (*)();
inline constexpr char kMediaBackendFactory[] = "dorlo_media_backend_v2";
inline constexpr char kMediaModuleFile[] = "libdorlo-media.so";

} // namespace playback
