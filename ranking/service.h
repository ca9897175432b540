#pragma once
// The ranking's rules and reads, whatever carries the requests; tests drive it directly.
// A database failure comes out as StoreError, which the caller turns into its 503.
#include "code_book.h"
#include "store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ranking {

constexpr int kPageRows = 50;
constexpr int kMaxApiRows = 100;

// French, for players.
inline constexpr const char* kUnavailable = "Le classement est momentanément indisponible ; "
                                            "réessayez dans quelques instants.";

enum class Verdict { Stored, Invalid, NotBetter };

struct Submission {
    Verdict verdict = Verdict::Invalid;
    std::string error;     // French, for the player, when not stored
    std::string key;       // the player's key, when the pseudonym is valid
    std::int64_t rank = 0; // when stored
    Score score;
};

// One page of the ranking.
struct Page {
    std::int64_t number = 1; // from 1
    std::int64_t count = 1;  // pages, at least 1
    std::int64_t total = 0;  // entries
    std::vector<Entry> rows; // from rank firstRank() on
    std::string marked;      // the key of a row to mark, "" for none
    std::int64_t firstRank() const { return (number - 1) * kPageRows + 1; }
};

class Service {
public:
    Service(Store& store, const CodeBook& codes) : store_(store), codes_(codes) {}

    // A typed pseudonym and code: checked, then ranked when better than the player's entry.
    Submission submit(const std::string& pseudo, const std::string& code);
    // Page `number`, the last one when past the end, the first when below 1.
    Page page(std::int64_t number);
    // The page that holds the player's row, marked; the first page when there is none.
    Page pageOf(const std::string& key);
    // At most `count` entries from `rank` (from 1) on.
    std::vector<Entry> rowsFrom(std::int64_t rank, int count) { return store_.rows(rank, count); }
    std::int64_t total() { return store_.total(); }
    // A trivial query within a second.
    void check() { store_.check(); }

private:
    Page pageAt(std::int64_t number, std::int64_t total);
    Store& store_;
    const CodeBook& codes_;
};

} // namespace ranking
