#pragma once
// The ranking in PostgreSQL: several servers may share one database. Every statement, lock
// and wait for a pooled connection is bounded; a connection broken by a server restart is
// opened again and the operation made once more.
#include "store.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace ranking {

class PostgresStore : public Store {
public:
    PostgresStore(const std::string& url, const StoreOptions& options, int connections = 16);
    ~PostgresStore() override;
    SubmitOutcome submit(const Entry& entry) override;
    std::vector<Entry> rows(std::int64_t first, int count) override;
    std::int64_t total() override;
    std::int64_t rankOf(const std::string& key) override;
    void check() override;
    std::int64_t importAll(const std::vector<Entry>& entries) override;
    void exportAll(const std::function<void(const Entry&)>& write) override;

    struct Connection;

private:
    class Lease;
    template <typename F> auto withConnection(int waitMs, F&& work);

    StoreOptions options_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::vector<Connection*> idle_;
    std::vector<Connection*> all_;
};

} // namespace ranking
