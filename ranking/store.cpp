#include "store.h"

#include "postgres_store.h"
#include "sqlite_store.h"

namespace ranking {

std::unique_ptr<Store> openStore(const std::string& url) {
    if (url.starts_with("sqlite:"))
        return std::make_unique<SqliteStore>(url.substr(7));
    if (url.starts_with("postgresql://") || url.starts_with("postgres://"))
        return std::make_unique<PostgresStore>(url);
    throw StoreError("unknown database \"" + url + "\": expected sqlite:PATH or postgresql://…");
}

} // namespace ranking
