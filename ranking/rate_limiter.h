#pragma once
// Submissions a minute per client address.
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace ranking {

// What a limit counts as one client: the address itself, or for IPv6 its /64, which one
// subscriber commonly holds whole and could otherwise rotate through.
std::string clientGroup(const std::string& address);

class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;
    explicit RateLimiter(int perMinute) : perMinute_(perMinute) {}

    // Counts one attempt; false when the address's group has already made perMinute in the
    // last minute. Always true when perMinute is 0.
    bool allow(const std::string& address, Clock::time_point now = Clock::now());

private:
    int perMinute_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::deque<Clock::time_point>> recent_;
    Clock::time_point lastSweep_{};
};

} // namespace ranking
