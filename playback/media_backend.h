#pragma once
// What the embedded player needs of a media framework. The framework lives in a module of
// its own (libdorlo-media.so beside the game), loaded at the first play, so that start-up
// neither maps nor initialises it.
#include <QString>

#include <functional>

namespace playback {

class MediaBackend {
public:
    virtual ~MediaBackend() = default;

    virtual void open(const QString& path) = 0; // reopens even when the name is the same
    virtual void close() = 0;
    virtual void play() = 0; // the opened file from its start; nothing if it cannot be decoded
    virtual void stop() = 0;
    virtual void setGain(double gain) = 0; // linear, 0..1

    // Called from the backend's own notifications: 0 stopped, 1 paused, 2 playing.
    std::function<void(int state)> stateChanged;
    std::function<void(const QString& message)> failed;
};

// The module's one entry point: extern "C" MediaBackend* <kMediaBackendFactory>();
// the version in the name keeps a module from another build from being used.
using MediaBackendFactory = MediaBackend* (*)();
inline constexpr char kMediaBackendFactory[] = "dorlo_media_backend_v1";
inline constexpr char kMediaModuleFile[] = "libdorlo-media.so";

} // namespace playback
