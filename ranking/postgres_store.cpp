#include "postgres_store.h"

#include <libpq-fe.h>

#include <array>
#include <memory>

namespace ranking {
namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::string oneLine(const char* message) {
    std::string s = message ? message : "";
    for (char& c : s) {
        if (c == '\n')
            c = ' ';
    }
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

pg_conn* connect(const std::string& url) {
    pg_conn* c = PQconnectdb(url.c_str());
    if (PQstatus(c) != CONNECTION_OK) {
        const std::string why = oneLine(PQerrorMessage(c));
        PQfinish(c);
        throw StoreError("cannot connect to PostgreSQL: " + why);
    }
    return c;
}

template <std::size_t N>
Result run(pg_conn* c, const char* text, const std::array<std::string, N>& params) {
    std::array<const char*, N + 1> values{};
    for (std::size_t i = 0; i < N; ++i)
        values[i] = params[i].c_str();
    Result r(
        PQexecParams(c, text, static_cast<int>(N), nullptr, values.data(), nullptr, nullptr, 0),
        &PQclear);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw StoreError("postgresql: " + oneLine(PQresultErrorMessage(r.get())));
    return r;
}

Result run(pg_conn* c, const char* text) {
    return run(c, text, std::array<std::string, 0>{});
}

Entry entryAt(const PGresult* r, int row) {
    return Entry{PQgetvalue(r, row, 0), PQgetvalue(r, row, 1), std::atoi(PQgetvalue(r, row, 2)),
                 std::atoi(PQgetvalue(r, row, 3)) != 0, std::atoll(PQgetvalue(r, row, 4))};
}

} // namespace

// A connection of the pool for one operation; a broken one is reopened on the next lease.
class PostgresStore::Lease {
public:
    explicit Lease(PostgresStore& store) : store_(store) {
        std::unique_lock lock(store.mutex_);
        store.released_.wait(lock, [&] { return !store.idle_.empty(); });
        conn_ = store.idle_.back();
        store.idle_.pop_back();
        lock.unlock();
        if (PQstatus(conn_) != CONNECTION_OK)
            PQreset(conn_);
    }
    ~Lease() {
        // A transaction left open by a failure must not reach the next user.
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE)
            PQclear(PQexec(conn_, "ROLLBACK"));
        {
            std::lock_guard lock(store_.mutex_);
            store_.idle_.push_back(conn_);
        }
        store_.released_.notify_one();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    pg_conn* get() const { return conn_; }

private:
    PostgresStore& store_;
    pg_conn* conn_ = nullptr;
};

PostgresStore::PostgresStore(const std::string& url, int connections) {
    try {
        for (int i = 0; i < connections; ++i)
            all_.push_back(connect(url));
        pg_conn* c = all_.front();
        PQclear(PQexec(c, "SET client_min_messages = warning"));
        run(c, "BEGIN");
        // Servers starting together must not race to create the table.
        run(c, "SELECT pg_advisory_xact_lock(7416)");
        run(c, sql::kCreate);
        run(c, "COMMIT");
    } catch (...) {
        for (pg_conn* c : all_)
            PQfinish(c);
        throw;
    }
    idle_ = all_;
}

PostgresStore::~PostgresStore() {
    for (pg_conn* c : all_)
        PQfinish(c);
}

SubmitOutcome PostgresStore::submit(const Entry& e) {
    Lease lease(*this);
    pg_conn* c = lease.get();
    SubmitOutcome out;
    const std::string eligible = e.eligible ? "1" : "0";
    const std::string score = std::to_string(e.score);
    const std::string micros = std::to_string(e.micros);
    run(c, "BEGIN");
    const Result upsert =
        run(c, sql::kUpsert, std::array{e.key, e.pseudo, score, eligible, micros});
    out.stored = std::string(PQcmdTuples(upsert.get())) == "1";
    if (out.stored) {
        const Result rank = run(c, sql::kRank, std::array{eligible, score, micros, e.key});
        out.rank = std::atoi(PQgetvalue(rank.get(), 0, 0));
    } else {
        const Result current = run(c, sql::kCurrent, std::array{e.key});
        if (PQntuples(current.get()) == 1)
            out.current = entryAt(current.get(), 0);
    }
    run(c, "COMMIT");
    return out;
}

std::vector<Entry> PostgresStore::ranking() {
    Lease lease(*this);
    const Result list = run(lease.get(), sql::kList);
    std::vector<Entry> rows;
    const int n = PQntuples(list.get());
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows.push_back(entryAt(list.get(), i));
    return rows;
}

} // namespace ranking
