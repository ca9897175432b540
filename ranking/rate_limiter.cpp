#include "rate_limiter.h"

#include <arpa/inet.h>

#include <algorithm>

namespace ranking {

std::string clientGroup(const std::string& address) {
    in6_addr a{};
    if (inet_pton(AF_INET6, address.c_str(), &a) != 1)
        return address;
    std::fill(a.s6_addr + 8, a.s6_addr + 16, 0);
    char text[INET6_ADDRSTRLEN];
    return std::string(inet_ntop(AF_INET6, &a, text, sizeof text)) + "/64";
}

bool RateLimiter::allow(const std::string& address, Clock::time_point now) {
    if (perMinute_ <= 0)
        return true;
    const auto windowStart = now - std::chrono::minutes(1);
    std::lock_guard lock(mutex_);
    // Addresses seen once must not pile up: forget the quiet ones now and then.
    if (now - lastSweep_ > std::chrono::minutes(1)) {
        std::erase_if(recent_, [&](const auto& kv) { return kv.second.back() <= windowStart; });
        lastSweep_ = now;
    }
    auto& times = recent_[clientGroup(address)];
    while (!times.empty() && times.front() <= windowStart)
        times.pop_front();
    if (static_cast<int>(times.size()) >= perMinute_)
        return false;
    times.push_back(now);
    return true;
}

} // namespace ranking
