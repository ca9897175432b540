#include "store.h"

#include "pages.h"
#include "postgres_store.h"
#include "pseudonym.h"
#include "sqlite_store.h"

#include <algorithm>
#include <unordered_map>

namespace ranking {

std::unique_ptr<Store> openStore(const std::string& url, const StoreOptions& options) {
    if (url.starts_with("sqlite:"))
        return std::make_unique<SqliteStore>(url.substr(7), options);
    if (url.starts_with("postgresql://") || url.starts_with("postgres://"))
        return std::make_unique<PostgresStore>(url, options);
    throw StoreError("unknown database \"" + url + "\": expected sqlite:PATH or postgresql://…");
}

std::vector<Entry> rekeyed(std::vector<Entry> entries, std::vector<std::string>& notes) {
    auto describe = [](const Entry& e) {
        return "\"" + e.pseudo + "\" " + std::to_string(e.score) +
               (e.eligible ? "" : " (hors concours)") + " of " + isoDate(e.micros);
    };
    // Earlier first, so that on equal scores the first one ranked stays, as a submission.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.micros != b.micros ? a.micros < b.micros : a.key < b.key;
    });
    std::vector<Entry> kept;
    std::unordered_map<std::string, std::size_t> byKey;
    for (Entry& e : entries) {
        const PseudonymCheck check = checkPseudonym(QString::fromStdString(e.pseudo));
        if (check.pseudonym) {
            e.key = check.pseudonym->key.toStdString();
        } else {
            notes.push_back("kept under its old key, a name no longer admitted: " + describe(e) +
                            " (" + check.error.toStdString() + ")");
        }
        const auto [it, added] = byKey.try_emplace(e.key, kept.size());
        if (added) {
            kept.push_back(std::move(e));
        } else if (better(e, kept[it->second])) {
            notes.push_back("dropped, the same player as a better entry: " +
                            describe(kept[it->second]));
            kept[it->second] = std::move(e);
        } else {
            notes.push_back("dropped, the same player as a better entry: " + describe(e));
        }
    }
    return kept;
}

} // namespace ranking
