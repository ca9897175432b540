#include "window/key_press_times.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

#include <xcb/xcb.h>

namespace window {
namespace {

KeyPressTimes* instance = nullptr;

// A copy comes back within the screen reader's time-out, a tenth of a second; presses much
// older than the newest were handled without one.
constexpr std::uint32_t kForgetAfter = 2000;
constexpr std::size_t kMostPresses = 64;

} // namespace

void KeyPressTimes::install() {
    if (instance || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    instance = new KeyPressTimes; // lives as long as the application's event loop
    QCoreApplication::instance()->installNativeEventFilter(instance);
}

std::optional<qint64> KeyPressTimes::of(const QKeyEvent& event) {
    const std::optional<std::uint32_t> own =
        event.timestamp() != 0 ? std::optional<std::uint32_t>(std::uint32_t(event.timestamp()))
                               : std::nullopt;
    if (instance && event.nativeScanCode() != 0)
        if (auto t = instance->take(event.nativeScanCode(), own))
            return t;
    if (own)
        return qint64(*own);
    return std::nullopt;
}

std::optional<qint64> KeyPressTimes::take(std::uint32_t keycode,
                                          std::optional<std::uint32_t> time) {
    while (!presses_.empty()) {
        const Press p = presses_.front();
        presses_.pop_front();
        if (p.keycode == keycode && (!time || p.time == *time))
            return qint64(p.time);
    }
    return std::nullopt;
}

bool KeyPressTimes::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    while (!presses_.empty() &&
           (presses_.size() >= kMostPresses || key->time - presses_.front().time > kForgetAfter))
        presses_.pop_front();
    presses_.push_back({key->detail, key->time});
    return false;
}

} // namespace window
