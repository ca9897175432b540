#pragma once
// When a key was pressed, by the window system's clock. A screen reader sees each key first
// and hands it back later, in bursts, as a copy that has lost its time: keys timed as they
// are handled would then seem to come together.
#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <deque>
#include <optional>

class QKeyEvent;

namespace window {

class KeyPressTimes : public QAbstractNativeEventFilter {
public:
    // Listens to the X server's key presses; elsewhere only the events' own times count.
    static void install();

    // Milliseconds of the window system's clock at which the key went down, or nothing
    // when that is not known (a key made by the program itself).
    static std::optional<qint64> of(const QKeyEvent& event);

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    struct Press {
        std::uint32_t keycode;
        std::uint32_t time;
    };
    std::optional<qint64> take(std::uint32_t keycode, std::optional<std::uint32_t> time);
    std::deque<Press> presses_;
};

} // namespace window
