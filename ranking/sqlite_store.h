#pragma once
// The ranking in an SQLite file, in WAL mode: one writer at a time, other processes wait.
// The connection is reopened at the next request after a fault, or when the file was
// replaced or deleted under the server.
#include "store.h"

#include <memory>
#include <mutex>

namespace ranking {

class SqliteStore : public Store {
public:
    // Throws StoreError when the file cannot be opened, upgraded or written.
    SqliteStore(const std::string& path, const StoreOptions& options);
    ~SqliteStore() override;
    SubmitOutcome submit(const Entry& entry) override;
    std::vector<Entry> rows(std::int64_t first, int count) override;
    std::int64_t total() override;
    std::int64_t rankOf(const std::string& key) override;
    void check() override;
    std::int64_t importAll(const std::vector<Entry>& entries) override;
    void exportAll(const std::function<void(const Entry&)>& write) override;

    struct Connection;

private:
    template <typename F> auto withConnection(int waitMs, F&& work);

    std::string path_;
    StoreOptions options_;
    std::timed_mutex mutex_;           // one connection, used by one request at a time
    std::unique_ptr<Connection> conn_; // null after a fault: reopened at the next request
};

} // namespace ranking
