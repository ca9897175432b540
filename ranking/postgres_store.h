#pragma once
// The ranking in PostgreSQL: several servers may share one database.
#include "store.h"

#include <condition_variable>
#include <mutex>
#include <vector>

struct pg_conn;

namespace ranking {

class PostgresStore : public Store {
public:
    explicit PostgresStore(const std::string& url, int connections = 16);
    ~PostgresStore() override;
    SubmitOutcome submit(const Entry& entry) override;
    std::vector<Entry> ranking() override;

private:
    class Lease;
    std::mutex mutex_;
    std::condition_variable released_;
    std::vector<pg_conn*> idle_;
    std::vector<pg_conn*> all_;
};

} // namespace ranking
