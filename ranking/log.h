#pragma once
// The server's log: stderr, one line each, flushed, for the service manager's journal.
#include <string>

namespace ranking {

// "dorlo-ranking: " first: database faults, the upgrade's notes, transport failures.
void logLine(const std::string& line);

} // namespace ranking
