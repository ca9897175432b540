#pragma once
// The ranking in an SQLite file, in WAL mode: one writer at a time, other processes wait.
#include "store.h"

#include <mutex>

struct sqlite3;

namespace ranking {

class SqliteStore : public Store {
public:
    explicit SqliteStore(const std::string& path);
    ~SqliteStore() override;
    SubmitOutcome submit(const Entry& entry) override;
    std::vector<Entry> ranking() override;

private:
    std::mutex mutex_; // one connection, used by one request at a time
    sqlite3* db_ = nullptr;
};

} // namespace ranking
