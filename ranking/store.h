#pragma once
// Where the ranking is kept: one entry per player, better replaces, equal or lower refused.
#include <cstdint>
#include <memory>
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

struct SubmitOutcome {
    bool stored = false; // false: the player already has an equal or better entry
    int rank = 0;        // when stored: the entry's place, from 1
    Entry current;       // when refused: the entry that stays
};

// Raised on any database failure; its text is for the server's log, never for a client.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Safe to call from several threads at once.
class Store {
public:
    virtual ~Store() = default;
    // Atomic in the database: concurrent submissions, from this process or another sharing
    // the database, neither lose nor duplicate an entry. Committed when it returns.
    virtual SubmitOutcome submit(const Entry& entry) = 0;
    // Eligible entries first, then by score, the earlier first on ties.
    virtual std::vector<Entry> ranking() = 0;
};

// "sqlite:PATH", or a PostgreSQL URL ("postgresql://…" or "postgres://…").
std::unique_ptr<Store> openStore(const std::string& url);

// The statements both engines share, with $1-style parameters.
namespace sql {
inline constexpr const char* kCreate = "CREATE TABLE IF NOT EXISTS ranking ("
                                       " pseudo_key TEXT PRIMARY KEY,"
                                       " pseudo TEXT NOT NULL,"
                                       " score SMALLINT NOT NULL CHECK (score BETWEEN 1 AND 30),"
                                       " eligible SMALLINT NOT NULL CHECK (eligible IN (0, 1)),"
                                       " created BIGINT NOT NULL)";
// An eligible game outranks one that is not, whatever their scores.
inline constexpr const char* kUpsert =
    "INSERT INTO ranking (pseudo_key, pseudo, score, eligible, created)"
    " VALUES ($1, $2, $3, $4, $5)"
    " ON CONFLICT (pseudo_key) DO UPDATE SET pseudo = excluded.pseudo,"
    " score = excluded.score, eligible = excluded.eligible, created = excluded.created"
    " WHERE excluded.eligible > ranking.eligible"
    " OR (excluded.eligible = ranking.eligible AND excluded.score > ranking.score)";
inline constexpr const char* kRank =
    "SELECT COUNT(*) + 1 FROM ranking WHERE eligible > $1"
    " OR (eligible = $1 AND (score > $2 OR (score = $2 AND (created < $3"
    " OR (created = $3 AND pseudo_key < $4)))))";
inline constexpr const char* kCurrent =
    "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking WHERE pseudo_key = $1";
inline constexpr const char* kList =
    "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking"
    " ORDER BY eligible DESC, score DESC, created, pseudo_key";
} // namespace sql

} // namespace ranking
