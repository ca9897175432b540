#pragma once
// Where the ranking is kept: one entry per player, better replaces, equal or lower refused.
// Order: eligible games first, then by score, the earlier first on ties, then by key.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ranking {

struct Entry {
    std::string key;    // the player's identity (see Pseudonym::key)
    std::string pseudo; // as shown, UTF-8
    int score = 0;
    bool eligible = true;
    std::int64_t micros = 0; // when it was ranked, microseconds since the epoch (UTC)
};

// True when `a` would replace `b` of the same player.
inline bool better(const Entry& a, const Entry& b) {
    return a.eligible != b.eligible ? a.eligible : a.score > b.score;
}

struct SubmitOutcome {
    bool stored = false;   // false: the player already has an equal or better entry
    std::int64_t rank = 0; // when stored: the entry's place, from 1
    Entry current;         // when refused: the entry that stays
};

// Raised on any database failure; its text is for the server's log, never for a client.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct StoreOptions {
    int timeoutMs = 2000; // statements, locks and the wait for a connection
};

// Safe to call from several threads at once. No call reads the whole table, except
// exportAll and the schema upgrade.
class Store {
public:
    virtual ~Store() = default;
    // Atomic in the database: concurrent submissions, from this process or another sharing
    // the database, neither lose nor duplicate an entry. Committed when it returns.
    virtual SubmitOutcome submit(const Entry& entry) = 0;
    // At most `count` entries from rank `first` (from 1) on.
    virtual std::vector<Entry> rows(std::int64_t first, int count) = 0;
    virtual std::int64_t total() = 0;
    // The rank of the player's entry, 0 when there is none.
    virtual std::int64_t rankOf(const std::string& key) = 0;
    // A trivial query on the ranking within a second; throws StoreError otherwise.
    virtual void check() = 0;
    // Entries with distinct keys, each replacing an existing one only when better; one
    // transaction. Returns how many were stored.
    virtual std::int64_t importAll(const std::vector<Entry>& entries) = 0;
    // Every entry in ranking order.
    virtual void exportAll(const std::function<void(const Entry&)>& write) = 0;
};

// "sqlite:PATH", or a PostgreSQL URL ("postgresql://…" or "postgres://…"). Creates the
// schema, or upgrades an older one in place.
std::unique_ptr<Store> openStore(const std::string& url, const StoreOptions& options = {});

// The schema this program writes; older ones are upgraded at start-up.
inline constexpr int kSchemaVersion = 2;

// For an upgrade: the entries with their keys computed again by today's rules, the better
// one kept where keys now collide (on a tie, the earlier). `notes` gets a line for each
// entry that goes, and for each name today's rules refuse (kept under its old key).
std::vector<Entry> rekeyed(std::vector<Entry> entries, std::vector<std::string>& notes);

} // namespace ranking
