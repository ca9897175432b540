#include "sqlite_store.h"

#include "buckets.h"
#include "log.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

namespace ranking {
namespace {

static_assert(kSchemaVersion == 2, "write the upgrade to the new schema below");

// Schema 2. Schema 1 was the ranking table alone, without a version.
constexpr const char* kCreate = R"(
CREATE TABLE ranking (
 pseudo_key TEXT PRIMARY KEY,
 pseudo TEXT NOT NULL,
 score SMALLINT NOT NULL CHECK (score BETWEEN 1 AND 30),
 eligible SMALLINT NOT NULL CHECK (eligible IN (0, 1)),
 created BIGINT NOT NULL);
CREATE INDEX ranking_order ON ranking (eligible DESC, score DESC, created, pseudo_key);
CREATE TABLE ranking_counts (
 eligible SMALLINT NOT NULL,
 score SMALLINT NOT NULL,
 entries BIGINT NOT NULL,
 PRIMARY KEY (eligible, score));
WITH RECURSIVE s(score) AS (SELECT 1 UNION ALL SELECT score + 1 FROM s WHERE score < 30)
 INSERT INTO ranking_counts SELECT e.eligible, s.score, 0 FROM s, (SELECT 0 AS eligible
 UNION ALL SELECT 1) AS e;
CREATE TABLE ranking_days (
 eligible SMALLINT NOT NULL,
 score SMALLINT NOT NULL,
 day BIGINT NOT NULL,
 entries BIGINT NOT NULL,
 PRIMARY KEY (eligible, score, day)) WITHOUT ROWID;
CREATE TRIGGER ranking_added AFTER INSERT ON ranking BEGIN
 UPDATE ranking_counts SET entries = entries + 1
  WHERE eligible = new.eligible AND score = new.score;
 INSERT INTO ranking_days VALUES (new.eligible, new.score, new.created / 86400000000, 1)
  ON CONFLICT (eligible, score, day) DO UPDATE SET entries = entries + 1;
END;
CREATE TRIGGER ranking_changed AFTER UPDATE OF eligible, score, created ON ranking BEGIN
 UPDATE ranking_counts SET entries = entries - 1
  WHERE eligible = old.eligible AND score = old.score;
 UPDATE ranking_counts SET entries = entries + 1
  WHERE eligible = new.eligible AND score = new.score;
 UPDATE ranking_days SET entries = entries - 1
  WHERE eligible = old.eligible AND score = old.score AND day = old.created / 86400000000;
 INSERT INTO ranking_days VALUES (new.eligible, new.score, new.created / 86400000000, 1)
  ON CONFLICT (eligible, score, day) DO UPDATE SET entries = entries + 1;
END;
CREATE TRIGGER ranking_removed AFTER DELETE ON ranking BEGIN
 UPDATE ranking_counts SET entries = entries - 1
  WHERE eligible = old.eligible AND score = old.score;
 UPDATE ranking_days SET entries = entries - 1
  WHERE eligible = old.eligible AND score = old.score AND day = old.created / 86400000000;
END;
CREATE TABLE ranking_schema (version INTEGER NOT NULL);
INSERT INTO ranking_schema VALUES (2);
)";

// An eligible game outranks one that is not, whatever their scores.
constexpr const char* kUpsert =
    "INSERT INTO ranking (pseudo_key, pseudo, score, eligible, created)"
    " VALUES (?1, ?2, ?3, ?4, ?5)"
    " ON CONFLICT (pseudo_key) DO UPDATE SET pseudo = excluded.pseudo,"
    " score = excluded.score, eligible = excluded.eligible, created = excluded.created"
    " WHERE excluded.eligible > ranking.eligible"
    " OR (excluded.eligible = ranking.eligible AND excluded.score > ranking.score)";
constexpr const char* kByKey =
    "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking WHERE pseudo_key = ?1";
constexpr const char* kBuckets = "SELECT eligible, score, entries FROM ranking_counts"
                                 " WHERE entries > 0 ORDER BY eligible DESC, score DESC";
constexpr const char* kDays = "SELECT day, entries FROM ranking_days"
                              " WHERE eligible = ?1 AND score = ?2 AND entries > 0 ORDER BY day";
constexpr const char* kDaysBefore = "SELECT COALESCE(SUM(entries), 0) FROM ranking_days"
                                    " WHERE eligible = ?1 AND score = ?2 AND day < ?3";
constexpr const char* kBeforeInDay =
    "SELECT COUNT(*) FROM ranking WHERE eligible = ?1 AND score = ?2"
    " AND (created, pseudo_key) >= (?5, '') AND (created, pseudo_key) < (?3, ?4)";
constexpr const char* kFromDay =
    "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking"
    " WHERE eligible = ?1 AND score = ?2 AND created >= ?3 ORDER BY created, pseudo_key"
    " LIMIT ?4 OFFSET ?5";
constexpr const char* kProbe = "SELECT COUNT(*) FROM (SELECT 1 FROM ranking LIMIT 1)";
constexpr const char* kAll = "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking"
                             " ORDER BY eligible DESC, score DESC, created, pseudo_key";

class SqliteError : public StoreError {
public:
    SqliteError(const std::string& what, int code) : StoreError(what), code(code) {}
    // After these the file is reopened: it may have been damaged, replaced or restored.
    bool reopens() const {
        switch (code & 0xff) {
        case SQLITE_NOTADB:
        case SQLITE_READONLY:
        case SQLITE_IOERR:
        case SQLITE_CORRUPT:
        case SQLITE_CANTOPEN:
        case SQLITE_FULL:
        case SQLITE_PERM:
            return true;
        default:
            return false;
        }
    }
    int code;
};

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw SqliteError("sqlite: " + what + ": " + sqlite3_errmsg(db), sqlite3_extended_errcode(db));
}

// The file was replaced or deleted during a submission, which is then made again on the
// file now there.
struct FileChanged {};

class Statement {
public:
    Statement(sqlite3* db, const char* text) : db_(db) {
        if (sqlite3_prepare_v3(db, text, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
            SQLITE_OK)
            fail(db, "prepare");
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& use() {
        reset();
        sqlite3_clear_bindings(stmt_);
        return *this;
    }
    void reset() { sqlite3_reset(stmt_); }
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
            fail(db_, "step");
        return false;
    }
    void run() {
        while (step()) {
        }
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
            fail(db_, "bind");
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const char* text, const char* what) {
    if (sqlite3_exec(db, text, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db, what);
}

bool hasTable(sqlite3* db, const char* name) {
    Statement s(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    return s.bind(1, std::string(name)).step();
}

void insertAll(sqlite3* db, Statement& upsert, const std::vector<Entry>& entries,
               std::int64_t* stored) {
    for (const Entry& e : entries) {
        upsert.use().bind(1, e.key).bind(2, e.pseudo).bind(3, std::int64_t{e.score});
        upsert.bind(4, std::int64_t{e.eligible}).bind(5, e.micros).run();
        if (stored)
            *stored += sqlite3_changes(db);
    }
}

// Creates the schema, or brings an older one to today's, in one transaction.
void ensureSchema(sqlite3* db, const std::string& path) {
    exec(db, "BEGIN IMMEDIATE", "begin");
    try {
        int version = hasTable(db, "ranking") ? 1 : 0;
        if (hasTable(db, "ranking_schema")) {
            Statement v(db, "SELECT MAX(version) FROM ranking_schema");
            v.step();
            version = static_cast<int>(v.integer(0));
        }
        if (version > kSchemaVersion)
            throw StoreError(path + " has the schema of a newer dorlo-ranking (version " +
                             std::to_string(version) + ")");
        std::vector<std::string> notes;
        std::size_t kept = 0;
        if (version == 0) {
            exec(db, kCreate, "create");
        } else if (version == 1) {
            std::vector<Entry> old;
            {
                Statement all(db, kAll);
                while (all.step())
                    old.push_back(all.entry());
            }
            const std::vector<Entry> entries = rekeyed(std::move(old), notes);
            kept = entries.size();
            exec(db, "DROP TABLE ranking", "upgrade");
            exec(db, kCreate, "upgrade");
            Statement upsert(db, kUpsert);
            insertAll(db, upsert, entries, nullptr);
        }
        // Also proves at start-up that the file can be written.
        exec(db, "UPDATE ranking_schema SET version = version", "write");
        exec(db, "COMMIT", "commit");
        if (version == 1) {
            logLine("upgraded " + path + " to schema " + std::to_string(kSchemaVersion) + ", " +
                    std::to_string(kept) + " entries kept");
            for (const std::string& note : notes)
                logLine("upgrade: " + note);
        }
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

sqlite3* openFile(const std::string& path, const StoreOptions& options) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    try {
        if (rc != SQLITE_OK)
            throw SqliteError(std::string("sqlite: ") + (db ? sqlite3_errmsg(db) : "out of memory"),
                              rc);
        if (sqlite3_db_readonly(db, "main") == 1)
            throw StoreError("sqlite: " + path + " is read-only");
        // Another process may hold the write lock for a moment: wait, within the bound.
        sqlite3_busy_timeout(db, options.timeoutMs);
        {
            Statement wal(db, "PRAGMA journal_mode = WAL");
            if (!wal.step() || wal.text(0) != "wal")
                throw StoreError("sqlite: cannot use WAL mode on " + path);
        }
        // Every answered submission is on disk, also across a power cut.
        exec(db, "PRAGMA synchronous = FULL", "synchronous");
        ensureSchema(db, path);
    } catch (const StoreError& e) {
        sqlite3_close_v2(db);
        if (const auto* s = dynamic_cast<const SqliteError*>(&e))
            throw SqliteError("cannot use " + path + ": " + s->what(), s->code);
        throw StoreError("cannot use " + path + ": " + e.what());
    }
    return db;
}

bool fileId(const std::string& path, dev_t& dev, ino_t& ino) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    dev = st.st_dev;
    ino = st.st_ino;
    return true;
}

} // namespace

struct SqliteStore::Connection {
    struct Handle {
        sqlite3* db;
        ~Handle() { sqlite3_close_v2(db); }
    };
    Connection(const std::string& path, const StoreOptions& options)
        : handle{openFile(path, options)}, db(handle.db) {
        for (int i = 0; i < 3; ++i)
            fileId(path + kSuffixes[i], files[i].dev, files[i].ino);
    }
    // False when the path now names another file, or none.
    bool sameFile(const std::string& path) const { return sameAs(path, files[0]); }
    // The file was replaced or deleted: its log and shared index, still named beside the
    // path, must not be read as those of the file now there (which they would overwrite).
    void forgetFile(const std::string& path) {
        for (int i = 1; i < 3; ++i) {
            if (sameAs(path + kSuffixes[i], files[i]))
                ::unlink((path + kSuffixes[i]).c_str());
        }
    }
    // A statement left mid-way would hold the file's read snapshot.
    void resetAll() {
        for (Statement* s : {&begin, &beginRead, &commit, &upsert, &byKey, &buckets, &days,
                             &daysBefore, &beforeInDay, &fromDay, &probe})
            s->reset();
    }
    std::vector<Bucket> nonEmptyBuckets() {
        std::vector<Bucket> out;
        Statement& s = buckets.use();
        while (s.step())
            out.push_back({s.integer(0) != 0, static_cast<int>(s.integer(1)), s.integer(2)});
        return out;
    }
    std::int64_t rankOf(const Entry& e) {
        const std::int64_t ahead = entriesBefore(nonEmptyBuckets(), e.eligible, e.score);
        const std::int64_t day = dayOf(e.micros);
        daysBefore.use().bind(1, std::int64_t{e.eligible}).bind(2, std::int64_t{e.score});
        daysBefore.bind(3, day).step();
        beforeInDay.use().bind(1, std::int64_t{e.eligible}).bind(2, std::int64_t{e.score});
        beforeInDay.bind(3, e.micros).bind(4, e.key).bind(5, day * kDayMicros).step();
        return ahead + daysBefore.integer(0) + beforeInDay.integer(0) + 1;
    }
    // The entries of a slice: the day where it starts found from the day counts, then a
    // seek to that day and an offset within it.
    void read(const BucketSlice& s, std::vector<Entry>& out) {
        const std::int64_t eligible = s.bucket.eligible;
        const std::int64_t score = s.bucket.score;
        std::int64_t skip = s.offset;
        std::int64_t day = 0;
        days.use().bind(1, eligible).bind(2, score);
        while (days.step()) {
            day = days.integer(0);
            if (skip < days.integer(1))
                break;
            skip -= days.integer(1);
        }
        days.reset();
        fromDay.use().bind(1, eligible).bind(2, score).bind(3, day * kDayMicros);
        fromDay.bind(4, std::int64_t{s.count}).bind(5, skip);
        while (fromDay.step())
            out.push_back(fromDay.entry());
    }
    // Runs `work` in a transaction, rolled back when it throws.
    template <typename F> auto transaction(Statement& start, F&& work) {
        start.use().run();
        try {
            auto result = work();
            commit.use().run();
            return result;
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    struct FileId {
        dev_t dev{};
        ino_t ino{};
    };
    static bool sameAs(const std::string& path, const FileId& id) {
        FileId now;
        return fileId(path, now.dev, now.ino) && now.dev == id.dev && now.ino == id.ino;
    }
    static constexpr const char* kSuffixes[] = {"", "-wal", "-shm"};

    Handle handle;
    sqlite3* db;
    FileId files[3]; // the database, its write-ahead log and its shared index
    Statement begin{db, "BEGIN IMMEDIATE"};
    Statement beginRead{db, "BEGIN"};
    Statement commit{db, "COMMIT"};
    Statement upsert{db, kUpsert};
    Statement byKey{db, kByKey};
    Statement buckets{db, kBuckets};
    Statement days{db, kDays};
    Statement daysBefore{db, kDaysBefore};
    Statement beforeInDay{db, kBeforeInDay};
    Statement fromDay{db, kFromDay};
    Statement probe{db, kProbe};
};

SqliteStore::SqliteStore(const std::string& path, const StoreOptions& options)
    : path_(path), options_(options), conn_(std::make_unique<Connection>(path, options)) {}

SqliteStore::~SqliteStore() = default;

template <typename F> auto SqliteStore::withConnection(int waitMs, F&& work) {
    std::unique_lock lock(mutex_, std::chrono::milliseconds(waitMs));
    if (!lock.owns_lock())
        throw StoreError("sqlite: " + path_ + " stayed busy for " + std::to_string(waitMs) + " ms");
    for (int attempt = 0;; ++attempt) {
        try {
            if (conn_ && !conn_->sameFile(path_)) {
                logLine("sqlite: " + path_ + " was replaced or deleted: opening it again");
                conn_->forgetFile(path_);
                conn_.reset();
            }
            if (!conn_)
                conn_ = std::make_unique<Connection>(path_, options_);
            struct Reset {
                Connection& c;
                ~Reset() { c.resetAll(); }
            } reset{*conn_};
            return work(*conn_);
        } catch (const FileChanged&) {
            conn_->forgetFile(path_);
            conn_.reset();
            if (attempt > 0)
                throw StoreError("sqlite: " + path_ + " keeps being replaced");
            logLine("sqlite: " + path_ + " was replaced or deleted: submitting again");
        } catch (const SqliteError& e) {
            if (e.reopens())
                conn_.reset();
            throw;
        }
    }
}

SubmitOutcome SqliteStore::submit(const Entry& e) {
    return withConnection(options_.timeoutMs, [&](Connection& c) {
        return c.transaction(c.begin, [&] {
            SubmitOutcome out;
            c.upsert.use().bind(1, e.key).bind(2, e.pseudo).bind(3, std::int64_t{e.score});
            c.upsert.bind(4, std::int64_t{e.eligible}).bind(5, e.micros).run();
            out.stored = sqlite3_changes(c.db) == 1;
            if (out.stored) {
                out.rank = c.rankOf(e);
            } else if (c.byKey.use().bind(1, e.key).step()) {
                out.current = c.byKey.entry();
            }
            // Never a 201 for an entry written to a file no longer there.
            if (!c.sameFile(path_))
                throw FileChanged{};
            return out;
        });
    });
}

std::vector<Entry> SqliteStore::rows(std::int64_t first, int count) {
    return withConnection(options_.timeoutMs, [&](Connection& c) {
        return c.transaction(c.beginRead, [&] {
            std::vector<Entry> out;
            for (const BucketSlice& s : slices(c.nonEmptyBuckets(), first, count))
                c.read(s, out);
            return out;
        });
    });
}

std::int64_t SqliteStore::total() {
    return withConnection(options_.timeoutMs,
                          [&](Connection& c) { return totalOf(c.nonEmptyBuckets()); });
}

std::int64_t SqliteStore::rankOf(const std::string& key) {
    return withConnection(options_.timeoutMs, [&](Connection& c) {
        return c.transaction(c.beginRead, [&]() -> std::int64_t {
            if (!c.byKey.use().bind(1, key).step())
                return 0;
            const Entry e = c.byKey.entry();
            return c.rankOf(e);
        });
    });
}

void SqliteStore::check() {
    withConnection(std::min(options_.timeoutMs, 1000), [&](Connection& c) {
        c.probe.use().run();
        return 0;
    });
}

std::int64_t SqliteStore::importAll(const std::vector<Entry>& entries) {
    return withConnection(options_.timeoutMs, [&](Connection& c) {
        // The indexes of a million entries in memory, rather than pages spilled and read
        // again for each row.
        exec(c.db, "PRAGMA cache_size = -262144", "cache");
        struct Restore {
            sqlite3* db;
            ~Restore() { sqlite3_exec(db, "PRAGMA cache_size = -2000", nullptr, nullptr, nullptr); }
        } restore{c.db};
        return c.transaction(c.begin, [&] {
            std::int64_t stored = 0;
            insertAll(c.db, c.upsert, entries, &stored);
            return stored;
        });
    });
}

void SqliteStore::exportAll(const std::function<void(const Entry&)>& write) {
    withConnection(options_.timeoutMs, [&](Connection& c) {
        Statement all(c.db, kAll);
        while (all.step())
            write(all.entry());
        return 0;
    });
}

} // namespace ranking
