#pragma once
// The site's routes: the ranking page and its form, the JSON API, the health check.
#include "http.h"
#include "rate_limiter.h"
#include "service.h"

#include <vector>

namespace ranking {

std::vector<Route> routes(Service& service, RateLimiter& limiter);

} // namespace ranking
