#pragma once
// SIGTERM and SIGINT close the window the normal way, so that its unload still runs.
class QWidget;

namespace window {

// Catches the signals from the very start: one that arrives before the window exists
// waits in a self-pipe. False, with one line on stderr, when that cannot be set up.
bool catchTerminationSignals();

// From the event loop on, a caught signal closes the window.
void closeOnTerminationSignals(QWidget* window);

} // namespace window
