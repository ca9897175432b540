#pragma once
// SIGTERM and SIGINT close the window the normal way, so that its unload still runs.
class QWidget;

namespace window {

// Installs the handlers; the signal is turned into an event of the user-interface thread
// through a self-pipe. Returns false (with one line on stderr) when that cannot be set up.
bool closeOnTerminationSignals(QWidget* window);

} // namespace window
