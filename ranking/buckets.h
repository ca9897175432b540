#pragma once
// Ranks from counts kept in the same transaction as every change: per (eligible, score), 60
// buckets in ranking order, and within each per day of ranking (rows are ordered by date
// within a bucket). A rank then costs a seek within one day of one bucket rather than a
// count over every better row.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace ranking {

struct Bucket {
    bool eligible = true;
    int score = 0;
    std::int64_t entries = 0;
};

// Entries ranked before any of the bucket (eligible, score); `buckets` in ranking order.
inline std::int64_t entriesBefore(const std::vector<Bucket>& buckets, bool eligible, int score) {
    std::int64_t before = 0;
    for (const Bucket& b : buckets) {
        if (b.eligible == eligible && b.score == score)
            break;
        if (b.eligible < eligible || (b.eligible == eligible && b.score < score))
            break;
        before += b.entries;
    }
    return before;
}

struct BucketSlice {
    Bucket bucket;
    std::int64_t offset = 0; // entries of the bucket skipped
    int count = 0;           // entries taken
};

// Where ranks first .. first + count - 1 lie.
inline std::vector<BucketSlice> slices(const std::vector<Bucket>& buckets, std::int64_t first,
                                       int count) {
    std::vector<BucketSlice> out;
    std::int64_t skip = first - 1;
    for (const Bucket& b : buckets) {
        if (count <= 0)
            break;
        if (skip >= b.entries) {
            skip -= b.entries;
            continue;
        }
        const int take = static_cast<int>(std::min<std::int64_t>(count, b.entries - skip));
        out.push_back({b, skip, take});
        count -= take;
        skip = 0;
    }
    return out;
}

inline constexpr std::int64_t kDayMicros = 86400000000;

// As the databases divide; dates are from 1970 on.
inline std::int64_t dayOf(std::int64_t micros) {
    return micros / kDayMicros;
}

struct Day {
    std::int64_t day = 0; // since the epoch
    std::int64_t entries = 0;
};

inline std::int64_t totalOf(const std::vector<Bucket>& buckets) {
    std::int64_t n = 0;
    for (const Bucket& b : buckets)
        n += b.entries;
    return n;
}

} // namespace ranking
