#include "sqlite_store.h"

#include <sqlite3.h>

#include <regex>

namespace ranking {
namespace {

// SQLite numbers its parameters ?1, ?2…
std::string numbered(const char* statement) {
    static const std::regex dollar(R"(\$(\d))");
    return std::regex_replace(statement, dollar, "?$1");
}

class Statement {
public:
    Statement(sqlite3* db, const std::string& text) : db_(db) {
        if (sqlite3_prepare_v2(db, text.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
            fail("prepare");
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, const std::string& v) {
        check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int i, std::int64_t v) {
        check(sqlite3_bind_int64(stmt_, i, v));
        return *this;
    }
    // True while a row is there.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail("step");
        return false;
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p ? std::string(p, sqlite3_column_bytes(stmt_, column)) : std::string();
    }
    Entry entry() const {
        return Entry{text(0), text(1), static_cast<int>(integer(2)), integer(3) != 0, integer(4)};
    }

private:
    void check(int rc) {
        if (rc != SQLITE_OK)
            fail("bind");
    }
    [[noreturn]] void fail(const char* what) {
        throw StoreError(std::string("sqlite ") + what + ": " + sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const char* text) {
    Statement s(db, text);
    while (s.step()) {
    }
}

} // namespace

SqliteStore::SqliteStore(const std::string& path) {
    const int rc =
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        throw StoreError("cannot open " + path + ": " + why);
    }
    try {
        // Another process may hold the write lock for a moment: wait rather than fail.
        sqlite3_busy_timeout(db_, 5000);
        Statement wal(db_, "PRAGMA journal_mode = WAL");
        if (!wal.step() || wal.text(0) != "wal")
            throw StoreError("cannot use WAL mode on " + path);
        // Every answered submission is on disk, also across a power cut.
        exec(db_, "PRAGMA synchronous = FULL");
        exec(db_, sql::kCreate);
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

SqliteStore::~SqliteStore() {
    sqlite3_close(db_);
}

SubmitOutcome SqliteStore::submit(const Entry& e) {
    std::lock_guard lock(mutex_);
    SubmitOutcome out;
    exec(db_, "BEGIN IMMEDIATE");
    try {
        Statement upsert(db_, numbered(sql::kUpsert));
        upsert.bind(1, e.key).bind(2, e.pseudo).bind(3, std::int64_t{e.score});
        upsert.bind(4, std::int64_t{e.eligible}).bind(5, e.micros).step();
        out.stored = sqlite3_changes(db_) == 1;
        if (out.stored) {
            Statement rank(db_, numbered(sql::kRank));
            rank.bind(1, std::int64_t{e.eligible}).bind(2, std::int64_t{e.score});
            rank.bind(3, e.micros).bind(4, e.key);
            rank.step();
            out.rank = static_cast<int>(rank.integer(0));
        } else {
            Statement current(db_, numbered(sql::kCurrent));
            current.bind(1, e.key);
            if (current.step())
                out.current = current.entry();
        }
        exec(db_, "COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return out;
}

std::vector<Entry> SqliteStore::ranking() {
    std::lock_guard lock(mutex_);
    std::vector<Entry> rows;
    Statement list(db_, sql::kList);
    while (list.step())
        rows.push_back(list.entry());
    return rows;
}

} // namespace ranking
