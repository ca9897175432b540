#pragma once
// The routes served by cpp-httplib, until the transport of its own replaces it.
#include "http.h"

#include <vector>

namespace httplib {
class Server;
}

namespace ranking {

constexpr std::size_t kMaxBody = 4096;

void installRoutes(httplib::Server& server, const std::vector<Route>& routes);

} // namespace ranking
