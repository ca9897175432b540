#include "postgres_store.h"

#include "buckets.h"
#include "log.h"

#include <libpq-fe.h>

#include <poll.h>

#include <array>
#include <chrono>
#include <memory>

namespace ranking {
namespace {

static_assert(kSchemaVersion == 2, "write the upgrade to the new schema below");

// Schema 2. Schema 1 was the ranking table alone, without a version. Keys compare byte by
// byte, as on SQLite, whatever the database's locale.
constexpr const char* kCreate = R"(
CREATE TABLE ranking (
 pseudo_key TEXT COLLATE "C" PRIMARY KEY,
 pseudo TEXT NOT NULL,
 score SMALLINT NOT NULL CHECK (score BETWEEN 1 AND 30),
 eligible SMALLINT NOT NULL CHECK (eligible IN (0, 1)),
 created BIGINT NOT NULL);
CREATE INDEX ranking_order ON ranking (eligible DESC, score DESC, created, pseudo_key)
 INCLUDE (pseudo);
CREATE TABLE ranking_counts (
 eligible SMALLINT NOT NULL,
 score SMALLINT NOT NULL,
 entries BIGINT NOT NULL,
 PRIMARY KEY (eligible, score));
INSERT INTO ranking_counts
 SELECT e, s, 0 FROM generate_series(0, 1) AS e, generate_series(1, 30) AS s;
CREATE TABLE ranking_days (
 eligible SMALLINT NOT NULL,
 score SMALLINT NOT NULL,
 day BIGINT NOT NULL,
 entries BIGINT NOT NULL,
 PRIMARY KEY (eligible, score, day));
CREATE OR REPLACE FUNCTION ranking_count() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
 old_day BIGINT;
 new_day BIGINT;
BEGIN
 -- A bulk load counts everything once at its end.
 IF current_setting('dorlo.bulk', true) = 'on' THEN
  RETURN NULL;
 END IF;
 -- Counts are locked in one order, buckets then days, each ascending, so that two
 -- changes cannot deadlock.
 IF TG_OP = 'INSERT' THEN
  UPDATE ranking_counts SET entries = entries + 1
   WHERE eligible = NEW.eligible AND score = NEW.score;
  INSERT INTO ranking_days VALUES (NEW.eligible, NEW.score, NEW.created / 86400000000, 1)
   ON CONFLICT (eligible, score, day) DO UPDATE SET entries = ranking_days.entries + 1;
  RETURN NULL;
 END IF;
 IF TG_OP = 'DELETE' THEN
  UPDATE ranking_counts SET entries = entries - 1
   WHERE eligible = OLD.eligible AND score = OLD.score;
  UPDATE ranking_days SET entries = entries - 1
   WHERE eligible = OLD.eligible AND score = OLD.score AND day = OLD.created / 86400000000;
  RETURN NULL;
 END IF;
 IF (OLD.eligible, OLD.score) <> (NEW.eligible, NEW.score) THEN
  IF (OLD.eligible, OLD.score) < (NEW.eligible, NEW.score) THEN
   UPDATE ranking_counts SET entries = entries - 1
    WHERE eligible = OLD.eligible AND score = OLD.score;
   UPDATE ranking_counts SET entries = entries + 1
    WHERE eligible = NEW.eligible AND score = NEW.score;
  ELSE
   UPDATE ranking_counts SET entries = entries + 1
    WHERE eligible = NEW.eligible AND score = NEW.score;
   UPDATE ranking_counts SET entries = entries - 1
    WHERE eligible = OLD.eligible AND score = OLD.score;
  END IF;
 END IF;
 old_day := OLD.created / 86400000000;
 new_day := NEW.created / 86400000000;
 IF (OLD.eligible, OLD.score, old_day) < (NEW.eligible, NEW.score, new_day) THEN
  UPDATE ranking_days SET entries = entries - 1
   WHERE eligible = OLD.eligible AND score = OLD.score AND day = old_day;
  INSERT INTO ranking_days VALUES (NEW.eligible, NEW.score, new_day, 1)
   ON CONFLICT (eligible, score, day) DO UPDATE SET entries = ranking_days.entries + 1;
 ELSIF (OLD.eligible, OLD.score, old_day) > (NEW.eligible, NEW.score, new_day) THEN
  INSERT INTO ranking_days VALUES (NEW.eligible, NEW.score, new_day, 1)
   ON CONFLICT (eligible, score, day) DO UPDATE SET entries = ranking_days.entries + 1;
  UPDATE ranking_days SET entries = entries - 1
   WHERE eligible = OLD.eligible AND score = OLD.score AND day = old_day;
 END IF;
 RETURN NULL;
END $$;
CREATE TRIGGER ranking_count AFTER INSERT OR UPDATE OF eligible, score, created OR DELETE ON ranking
 FOR EACH ROW EXECUTE FUNCTION ranking_count();
CREATE TABLE ranking_schema (version INTEGER NOT NULL);
INSERT INTO ranking_schema VALUES (2);
)";

constexpr const char* kRecount =
    "UPDATE ranking_counts AS c SET entries = (SELECT COUNT(*) FROM ranking AS r"
    " WHERE r.eligible = c.eligible AND r.score = c.score);"
    " DELETE FROM ranking_days;"
    " INSERT INTO ranking_days SELECT eligible, score, created / 86400000000, COUNT(*)"
    " FROM ranking GROUP BY 1, 2, 3";
constexpr const char* kAll = "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking"
                             " ORDER BY eligible DESC, score DESC, created, pseudo_key";

// Prepared on every connection: name, text, number of parameters.
struct Prepared {
    const char* name;
    const char* text;
    int parameters;
};
// An eligible game outranks one that is not, whatever their scores.
constexpr Prepared kUpsert{
    "upsert",
    "INSERT INTO ranking (pseudo_key, pseudo, score, eligible, created)"
    " VALUES ($1, $2, $3, $4, $5)"
    " ON CONFLICT (pseudo_key) DO UPDATE SET pseudo = excluded.pseudo,"
    " score = excluded.score, eligible = excluded.eligible, created = excluded.created"
    " WHERE excluded.eligible > ranking.eligible"
    " OR (excluded.eligible = ranking.eligible AND excluded.score > ranking.score)",
    5};
constexpr Prepared kByKey{
    "by_key",
    "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking WHERE pseudo_key = $1", 1};
constexpr Prepared kBuckets{"buckets",
                            "SELECT eligible, score, entries FROM ranking_counts"
                            " WHERE entries > 0 ORDER BY eligible DESC, score DESC",
                            0};
// The day of a bucket where its entry number $3 (from 0) lies, and how many come before.
constexpr Prepared kDayAt{"day_at",
                          "SELECT day, ahead FROM (SELECT day, SUM(entries) OVER (ORDER BY day)"
                          " - entries AS ahead, SUM(entries) OVER (ORDER BY day) AS upto"
                          " FROM ranking_days WHERE eligible = $1 AND score = $2"
                          " AND entries > 0) AS d WHERE upto > $3 ORDER BY day LIMIT 1",
                          3};
constexpr Prepared kDaysBefore{"days_before",
                               "SELECT COALESCE(SUM(entries), 0) FROM ranking_days"
                               " WHERE eligible = $1 AND score = $2 AND day < $3",
                               3};
constexpr Prepared kBeforeInDay{"before_in_day",
                                "SELECT COUNT(*) FROM ranking WHERE eligible = $1"
                                " AND score = $2 AND (created, pseudo_key) >= ($5, '')"
                                " AND (created, pseudo_key) < ($3, $4)",
                                5};
constexpr Prepared kFromDay{
    "from_day",
    "SELECT pseudo_key, pseudo, score, eligible, created FROM ranking"
    " WHERE eligible = $1 AND score = $2 AND created >= $3 ORDER BY created, pseudo_key"
    " LIMIT $4 OFFSET $5",
    5};
constexpr std::array kPrepared{kUpsert,     kByKey,       kBuckets, kDayAt,
                               kDaysBefore, kBeforeInDay, kFromDay};

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;
using Clock = std::chrono::steady_clock;

std::string oneLine(const char* message) {
    // Runs of spaces, tabs and line breaks as one space.
    std::string s;
    for (const char* p = message ? message : ""; *p; ++p) {
        const bool space = *p == ' ' || *p == '\t' || *p == '\n' || *p == '\r';
        if (!space)
            s += *p;
        else if (!s.empty() && s.back() != ' ')
            s += ' ';
    }
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

class PgError : public StoreError {
public:
    PgError(const std::string& what, bool broken) : StoreError(what), broken(broken) {}
    bool broken; // the connection is lost: open another one and try again
};

[[noreturn]] void fail(pg_conn* c, const PGresult* r, const char* what) {
    std::string message = oneLine(r ? PQresultErrorMessage(r) : nullptr);
    if (message.empty())
        message = oneLine(PQerrorMessage(c));
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const std::string sqlstate = state ? state : "";
    // Class 08: connection exceptions; 57P01 to 57P03: the server shutting down or starting.
    const bool broken =
        PQstatus(c) != CONNECTION_OK || sqlstate.starts_with("08") || sqlstate.starts_with("57P0");
    throw PgError(std::string("postgresql ") + what + ": " + message, broken);
}

} // namespace

struct PostgresStore::Connection {
    pg_conn* conn = nullptr;
    bool ready = false; // session set and statements prepared
    bool lost = false;  // to be opened again before its next use
    int timeoutMs = 0;

    ~Connection() { PQfinish(conn); }

    // Waits for every result of what was sent, each checked; 0 ms: no bound. The server's
    // own time-outs come first: this one is for a server that does not answer at all.
    Result collect(int boundMs, const char* what) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(boundMs + 1000);
        Result last(nullptr, &PQclear);
        Result error(nullptr, &PQclear);
        for (;;) {
            while (PQisBusy(conn)) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                pollfd fd{PQsocket(conn), POLLIN, 0};
                const int n = ::poll(&fd, 1, boundMs > 0 ? std::max<int>(0, left.count()) : -1);
                if (n == 0) {
                    // Nothing more can be read from it in order: open it again.
                    lost = true;
                    throw PgError(std::string("postgresql ") + what + ": no answer within " +
                                      std::to_string(boundMs) + " ms",
                                  false);
                }
                if (!PQconsumeInput(conn))
                    fail(conn, nullptr, what);
            }
            Result r(PQgetResult(conn), &PQclear);
            if (!r)
                break;
            const ExecStatusType s = PQresultStatus(r.get());
            if (s == PGRES_COPY_IN || s == PGRES_COPY_OUT || s == PGRES_SINGLE_TUPLE)
                return r;
            if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && !error)
                error = std::move(r);
            else
                last = std::move(r);
        }
        if (error)
            fail(conn, error.get(), what);
        return last;
    }
    // Text of one or more statements, without parameters.
    Result exec(const std::string& text, int boundMs) {
        if (!PQsendQuery(conn, text.c_str()))
            fail(conn, nullptr, "send");
        return collect(boundMs, "query");
    }
    Result run(const Prepared& p, const std::vector<std::string>& params) {
        std::vector<const char*> values;
        for (const std::string& v : params)
            values.push_back(v.c_str());
        if (!PQsendQueryPrepared(conn, p.name, static_cast<int>(values.size()), values.data(),
                                 nullptr, nullptr, 0))
            fail(conn, nullptr, p.name);
        return collect(timeoutMs, p.name);
    }

    std::vector<Bucket> nonEmptyBuckets() {
        const Result r = run(kBuckets, {});
        std::vector<Bucket> out;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            out.push_back({std::atoi(PQgetvalue(r.get(), i, 0)) != 0,
                           std::atoi(PQgetvalue(r.get(), i, 1)),
                           std::atoll(PQgetvalue(r.get(), i, 2))});
        }
        return out;
    }
    std::int64_t rankOf(const Entry& e) {
        const std::int64_t ahead = entriesBefore(nonEmptyBuckets(), e.eligible, e.score);
        const std::string eligible = e.eligible ? "1" : "0";
        const std::string score = std::to_string(e.score);
        const std::int64_t day = dayOf(e.micros);
        const Result days = run(kDaysBefore, {eligible, score, std::to_string(day)});
        const Result inDay = run(kBeforeInDay, {eligible, score, std::to_string(e.micros), e.key,
                                                std::to_string(day * kDayMicros)});
        return ahead + std::atoll(PQgetvalue(days.get(), 0, 0)) +
               std::atoll(PQgetvalue(inDay.get(), 0, 0)) + 1;
    }
    // The entries of a slice: the day where it starts found from the day counts, then a
    // seek to that day and an offset within it.
    void read(const BucketSlice& s, std::vector<Entry>& out) {
        const std::string eligible = s.bucket.eligible ? "1" : "0";
        const std::string score = std::to_string(s.bucket.score);
        const Result at = run(kDayAt, {eligible, score, std::to_string(s.offset)});
        if (PQntuples(at.get()) != 1)
            return;
        const std::int64_t day = std::atoll(PQgetvalue(at.get(), 0, 0));
        const std::int64_t ahead = std::atoll(PQgetvalue(at.get(), 0, 1));
        const Result r = run(kFromDay, {eligible, score, std::to_string(day * kDayMicros),
                                        std::to_string(s.count), std::to_string(s.offset - ahead)});
        for (int i = 0; i < PQntuples(r.get()); ++i)
            out.push_back(entryAt(r.get(), i));
    }
    static Entry entryAt(const PGresult* r, int row) {
        return Entry{PQgetvalue(r, row, 0), PQgetvalue(r, row, 1), std::atoi(PQgetvalue(r, row, 2)),
                     std::atoi(PQgetvalue(r, row, 3)) != 0, std::atoll(PQgetvalue(r, row, 4))};
    }

    // Entries with distinct keys, within the current transaction: each replaces an existing
    // one only when better. Returns how many were stored.
    std::int64_t bulkLoad(const std::vector<Entry>& entries) {
        exec("SET LOCAL statement_timeout = 0; SET LOCAL dorlo.bulk = 'on';"
             " CREATE TEMP TABLE ranking_import (LIKE ranking) ON COMMIT DROP",
             timeoutMs);
        exec("COPY ranking_import (pseudo_key, pseudo, score, eligible, created) FROM STDIN", 0);
        std::string chunk;
        auto field = [&chunk](const std::string& v) {
            for (char c : v) {
                if (c == '\\' || c == '\t' || c == '\n' || c == '\r')
                    chunk += '\\';
                chunk += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : c;
            }
        };
        auto flush = [&] {
            if (PQputCopyData(conn, chunk.data(), static_cast<int>(chunk.size())) != 1)
                fail(conn, nullptr, "copy");
            chunk.clear();
        };
        for (const Entry& e : entries) {
            field(e.key);
            chunk += '\t';
            field(e.pseudo);
            chunk += '\t' + std::to_string(e.score) + (e.eligible ? "\t1\t" : "\t0\t") +
                     std::to_string(e.micros) + '\n';
            if (chunk.size() > 1 << 16)
                flush();
        }
        flush();
        if (PQputCopyEnd(conn, nullptr) != 1)
            fail(conn, nullptr, "copy");
        collect(0, "copy");
        const Result inserted =
            exec("INSERT INTO ranking SELECT pseudo_key, pseudo, score, eligible, created"
                 " FROM ranking_import ON CONFLICT (pseudo_key) DO UPDATE SET"
                 " pseudo = excluded.pseudo, score = excluded.score,"
                 " eligible = excluded.eligible, created = excluded.created"
                 " WHERE excluded.eligible > ranking.eligible OR (excluded.eligible ="
                 " ranking.eligible AND excluded.score > ranking.score)",
                 0);
        exec(kRecount, 0);
        return std::atoll(PQcmdTuples(inserted.get()));
    }

    // Creates the schema, or brings an older one to today's.
    void ensureSchema() {
        exec("SET client_min_messages = warning; BEGIN;"
             // Servers starting together must not race to create or upgrade.
             " SELECT pg_advisory_xact_lock(7416)",
             timeoutMs);
        const Result tables = exec("SELECT to_regclass('ranking') IS NOT NULL,"
                                   " to_regclass('ranking_schema') IS NOT NULL",
                                   timeoutMs);
        int version = PQgetvalue(tables.get(), 0, 0)[0] == 't' ? 1 : 0;
        if (PQgetvalue(tables.get(), 0, 1)[0] == 't') {
            const Result v = exec("SELECT MAX(version) FROM ranking_schema", timeoutMs);
            version = std::atoi(PQgetvalue(v.get(), 0, 0));
        }
        if (version > kSchemaVersion)
            throw StoreError("the database has the schema of a newer dorlo-ranking (version " +
                             std::to_string(version) + ")");
        std::vector<std::string> notes;
        std::size_t kept = 0;
        if (version == 0) {
            exec(kCreate, timeoutMs);
        } else if (version == 1) {
            std::vector<Entry> old;
            {
                const Result all = exec(kAll, 0);
                for (int i = 0; i < PQntuples(all.get()); ++i)
                    old.push_back(entryAt(all.get(), i));
            }
            const std::vector<Entry> entries = rekeyed(std::move(old), notes);
            kept = entries.size();
            exec("DROP TABLE ranking", 0);
            exec(kCreate, 0);
            bulkLoad(entries);
        }
        exec("COMMIT", 0);
        if (version == 1) {
            logLine("upgraded the PostgreSQL database to schema " + std::to_string(kSchemaVersion) +
                    ", " + std::to_string(kept) + " entries kept");
            for (const std::string& note : notes)
                logLine("upgrade: " + note);
        }
    }

    // Connected, bounded and prepared; opened again when it was lost.
    void prepare() {
        if (lost || PQstatus(conn) != CONNECTION_OK) {
            ready = false;
            lost = false;
            PQreset(conn);
            if (PQstatus(conn) != CONNECTION_OK) {
                lost = true;
                fail(conn, nullptr, "connect");
            }
        }
        if (ready)
            return;
        const std::string bound = std::to_string(timeoutMs);
        exec("SET statement_timeout = " + bound + "; SET lock_timeout = " + bound +
                 "; SET idle_in_transaction_session_timeout = " + std::to_string(timeoutMs * 5),
             timeoutMs);
        for (const Prepared& p : kPrepared) {
            if (!PQsendPrepare(conn, p.name, p.text, p.parameters, nullptr))
                fail(conn, nullptr, "prepare");
            collect(timeoutMs, p.name);
        }
        ready = true;
    }
};

// A connection of the pool for one operation.
class PostgresStore::Lease {
public:
    Lease(PostgresStore& store, int waitMs) : store_(store) {
        std::unique_lock lock(store.mutex_);
        if (!store.released_.wait_for(lock, std::chrono::milliseconds(waitMs),
                                      [&] { return !store.idle_.empty(); }))
            throw StoreError("postgresql: no connection free within " + std::to_string(waitMs) +
                             " ms");
        conn_ = store.idle_.back();
        store.idle_.pop_back();
    }
    ~Lease() {
        // A transaction left open by a failure must not reach the next user.
        if (!conn_->lost && PQtransactionStatus(conn_->conn) != PQTRANS_IDLE) {
            try {
                conn_->exec("ROLLBACK", conn_->timeoutMs);
            } catch (const StoreError&) {
                conn_->lost = true;
            }
        }
        {
            std::lock_guard lock(store_.mutex_);
            store_.idle_.push_back(conn_);
        }
        store_.released_.notify_one();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Connection& get() const { return *conn_; }

private:
    PostgresStore& store_;
    Connection* conn_ = nullptr;
};

PostgresStore::PostgresStore(const std::string& url, const StoreOptions& options, int connections)
    : options_(options) {
    // Also bounds the reconnection after a restart (libpq counts whole seconds, 2 at least).
    const std::string connectTimeout = std::to_string(std::max(2, options.timeoutMs / 1000));
    const std::array<const char*, 3> keys{"dbname", "connect_timeout", nullptr};
    const std::array<const char*, 3> values{url.c_str(), connectTimeout.c_str(), nullptr};
    try {
        for (int i = 0; i < connections; ++i) {
            all_.push_back(new Connection);
            all_.back()->timeoutMs = options.timeoutMs;
            all_.back()->conn = PQconnectdbParams(keys.data(), values.data(), 1);
            if (PQstatus(all_.back()->conn) != CONNECTION_OK)
                throw StoreError("cannot connect to PostgreSQL: " +
                                 oneLine(PQerrorMessage(all_.back()->conn)));
        }
        all_.front()->ensureSchema();
        for (Connection* c : all_)
            c->prepare();
    } catch (...) {
        for (Connection* c : all_)
            delete c;
        throw;
    }
    idle_ = all_;
}

PostgresStore::~PostgresStore() {
    for (Connection* c : all_)
        delete c;
}

template <typename F> auto PostgresStore::withConnection(int waitMs, F&& work) {
    for (int attempt = 0;; ++attempt) {
        Lease lease(*this, waitMs);
        Connection& c = lease.get();
        try {
            c.prepare();
            return work(c);
        } catch (const PgError& e) {
            if (!e.broken || attempt > 0)
                throw;
            logLine(std::string(e.what()) + " (connecting again and retrying once)");
            c.lost = true;
        }
    }
}

SubmitOutcome PostgresStore::submit(const Entry& e) {
    return withConnection(options_.timeoutMs, [&](Connection& c) {
        SubmitOutcome out;
        c.exec("BEGIN", c.timeoutMs);
        const Result upsert = c.run(kUpsert, {e.key, e.pseudo, std::to_string(e.score),
                                              e.eligible ? "1" : "0", std::to_string(e.micros)});
        out.stored = std::string(PQcmdTuples(upsert.get())) == "1";
        if (out.stored) {
            out.rank = c.rankOf(e);
        } else {
            const Result current = c.run(kByKey, {e.key});
            if (PQntuples(current.get()) == 1)
                out.current = Connection::entryAt(current.get(), 0);
        }
        c.exec("COMMIT", c.timeoutMs);
        return out;
    });
}

std::vector<Entry> PostgresStore::rows(std::int64_t first, int count) {
    return withConnection(options_.timeoutMs, [&](Connection& c) {
        // One snapshot for the counts and the rows.
        c.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", c.timeoutMs);
        std::vector<Entry> out;
        for (const BucketSlice& s : slices(c.nonEmptyBuckets(), first, count))
            c.read(s, out);
        c.exec("COMMIT", c.timeoutMs);
        return out;
    });
}

std::int64_t PostgresStore::total() {
    return withConnection(options_.timeoutMs,
                          [&](Connection& c) { return totalOf(c.nonEmptyBuckets()); });
}

std::int64_t PostgresStore::rankOf(const std::string& key) {
    return withConnection(options_.timeoutMs, [&](Connection& c) -> std::int64_t {
        c.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", c.timeoutMs);
        const Result r = c.run(kByKey, {key});
        const std::int64_t rank =
            PQntuples(r.get()) == 1 ? c.rankOf(Connection::entryAt(r.get(), 0)) : 0;
        c.exec("COMMIT", c.timeoutMs);
        return rank;
    });
}

void PostgresStore::check() {
    constexpr int kBound = 1000;
    withConnection(std::min(options_.timeoutMs, kBound), [&](Connection& c) {
        c.exec("BEGIN; SET LOCAL statement_timeout = 1000; SET LOCAL lock_timeout = 1000;"
               " SELECT 1 FROM ranking LIMIT 1; COMMIT",
               kBound);
        return 0;
    });
}

std::int64_t PostgresStore::importAll(const std::vector<Entry>& entries) {
    const std::int64_t stored = withConnection(options_.timeoutMs, [&](Connection& c) {
        c.exec("BEGIN", c.timeoutMs);
        const std::int64_t n = c.bulkLoad(entries);
        c.exec("COMMIT", 0);
        return n;
    });
    // Fresh statistics and visibility, so that pages are read from the index alone.
    withConnection(options_.timeoutMs, [&](Connection& c) {
        c.exec("SET statement_timeout = 0", c.timeoutMs);
        c.exec("VACUUM (ANALYZE) ranking", 0);
        c.exec("SET statement_timeout = " + std::to_string(c.timeoutMs), c.timeoutMs);
        return 0;
    });
    return stored;
}

void PostgresStore::exportAll(const std::function<void(const Entry&)>& write) {
    withConnection(options_.timeoutMs, [&](Connection& c) {
        c.exec("SET statement_timeout = 0", c.timeoutMs);
        if (!PQsendQuery(c.conn, kAll) || !PQsetSingleRowMode(c.conn))
            fail(c.conn, nullptr, "export");
        for (;;) {
            Result r = c.collect(0, "export");
            if (!r || PQresultStatus(r.get()) != PGRES_SINGLE_TUPLE)
                break;
            write(Connection::entryAt(r.get(), 0));
        }
        c.exec("SET statement_timeout = " + std::to_string(c.timeoutMs), c.timeoutMs);
        return 0;
    });
}

} // namespace ranking
