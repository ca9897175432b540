#pragma once
// The site's routes: the HTML page and form, the JSON API and the health check.
#include "code_book.h"
#include "http.h"
#include "rate_limiter.h"
#include "store.h"

#include <string>
#include <vector>

namespace ranking {

enum class Verdict { Stored, Invalid, NotBetter, Unavailable };

struct Submission {
    Verdict verdict = Verdict::Invalid;
    std::string error; // French, for the player
    std::string key;   // the player's key, when the pseudonym is valid
    int rank = 0;
    Score score;
};

// Checks a typed pseudonym and code and ranks them. A database failure is logged and reported
// as Unavailable, without its details.
Submission submit(Store& store, const CodeBook& codes, const std::string& pseudo,
                  const std::string& code);

std::vector<Route> routes(Store& store, const CodeBook& codes, RateLimiter& limiter);

} // namespace ranking
