#pragma once
// A ranking to and from a CSV file, for backups and moves between databases:
//   pseudo;score;eligible;date
//   Élodie;24;1;2026-12-07T14:02:11Z
// UTF-8, one entry a line, the date in ISO 8601 UTC (a fraction of a second allowed).
#include "store.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ranking {

inline constexpr const char* kCsvHeader = "pseudo;score;eligible;date";

// Every line checked by the submission's rules; one entry per player, the better kept (on a
// tie, the earlier). nullopt with "LINE: why" in `error` at the first bad line.
std::optional<std::vector<Entry>> readCsv(std::istream& in, std::string& error,
                                          std::int64_t* lines = nullptr);
void writeCsvLine(std::ostream& out, const Entry& e);

// --import FILE and --export FILE: the exit status, a line on stdout or stderr said.
int importCsv(Store& store, const std::string& path);
int exportCsv(Store& store, const std::string& path);

} // namespace ranking
