#include "log.h"

#include <iostream>

namespace ranking {

void logLine(const std::string& line) {
    std::cerr << "dorlo-ranking: " + line + "\n" << std::flush;
}

} // namespace ranking
