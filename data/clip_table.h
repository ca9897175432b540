#pragma once
// Where each clip starts in the excerpt store, in units of 4 bytes.
// Clip k runs from byte 4 * kDebuts[k] to 4 * kDebuts[k + 1] - 1; clip 0 is the short
// clip the stop buttons hand to the system player, clips 1 to 30 are the excerpts.
#include <array>
#include <cstdint>

namespace edition {

inline constexpr std::array<std::int32_t, 32> kDebuts = {
    0,      158,    9882,   18457,  27528,  39603,  55408,  66203,  78931,  91006,  110604,
    119257, 135198, 149546, 163998, 179887, 188200, 195181, 201399, 213161, 226777, 240106,
    248864, 256336, 271337, 279441, 286501, 300117, 307751, 314288, 325971, 341181};

inline constexpr std::int64_t clipStart(int k) {
    return 4 * std::int64_t{kDebuts[k]};
}
inline constexpr std::int64_t clipLength(int k) {
    return 4 * std::int64_t{kDebuts[k + 1] - kDebuts[k]};
}
inline constexpr std::int64_t storeLength() {
    return 4 * std::int64_t{kDebuts[31]};
}

static_assert(storeLength() == 1364724);
static_assert(clipLength(0) == 632 && clipLength(30) == 60840 && clipLength(17) == 24872);

} // namespace edition
