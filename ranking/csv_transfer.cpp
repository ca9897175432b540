#include "csv_transfer.h"

#include "engine/records.h"
#include "pseudonym.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <unordered_map>

namespace ranking {
namespace {

constexpr std::int64_t kMicros = 1000000;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool digits(std::string_view s, std::size_t at, std::size_t n, unsigned& out) {
    if (at + n > s.size())
        return false;
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + static_cast<unsigned>(s[i] - '0');
    }
    return true;
}

// "2026-12-07T14:02:11Z", or with ".f" to ".ffffff" before the Z.
std::optional<std::int64_t> parseDate(std::string_view s) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    if (!digits(s, 0, 4, y) || s.size() < 20 || s[4] != '-' || !digits(s, 5, 2, mo) ||
        s[7] != '-' || !digits(s, 8, 2, d) || s[10] != 'T' || !digits(s, 11, 2, h) ||
        s[13] != ':' || !digits(s, 14, 2, mi) || s[16] != ':' || !digits(s, 17, 2, se))
        return std::nullopt;
    std::int64_t fraction = 0;
    std::size_t at = 19;
    if (s[at] == '.') {
        std::int64_t scale = kMicros;
        for (++at; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at) {
            if (scale == 1)
                return std::nullopt;
            scale /= 10;
            fraction += (s[at] - '0') * scale;
        }
        if (scale == kMicros)
            return std::nullopt;
    }
    if (at + 1 != s.size() || s[at] != 'Z')
        return std::nullopt;
    static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] ||
        (mo == 2 && d == 29 && !leap) || h > 23 || mi > 59 || se > 59)
        return std::nullopt;
    const std::int64_t seconds = daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + se;
    return seconds * kMicros + fraction;
}

std::string formatDate(std::int64_t micros) {
    std::int64_t seconds = micros / kMicros;
    std::int64_t fraction = micros % kMicros;
    if (fraction < 0) {
        fraction += kMicros;
        --seconds;
    }
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    char text[40];
    const int n = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", y, m, d,
                                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                                static_cast<int>(rest % 60));
    std::string out(text, static_cast<std::size_t>(n));
    if (fraction != 0) {
        std::snprintf(text, sizeof text, ".%06d", static_cast<int>(fraction));
        out += text;
    }
    return out + 'Z';
}

// The entry of one line, or why not. The pseudonym is what comes before the last three
// fields, so that it needs no quoting.
std::optional<Entry> parseLine(std::string_view line, std::string& why) {
    std::size_t cut[3];
    std::size_t end = line.size();
    for (int i = 2; i >= 0; --i) {
        const std::size_t at = end == 0 ? std::string_view::npos : line.rfind(';', end - 1);
        if (at == std::string_view::npos) {
            why = "expected four fields: pseudo;score;eligible;date";
            return std::nullopt;
        }
        cut[i] = at;
        end = at;
    }
    const std::string pseudo(line.substr(0, cut[0]));
    const std::string_view score = line.substr(cut[0] + 1, cut[1] - cut[0] - 1);
    const std::string_view eligible = line.substr(cut[1] + 1, cut[2] - cut[1] - 1);
    const std::string_view date = line.substr(cut[2] + 1);
    const QString name = QString::fromUtf8(pseudo.data(), static_cast<qsizetype>(pseudo.size()));
    if (name.toUtf8().toStdString() != pseudo) {
        why = "the pseudonym is not valid UTF-8";
        return std::nullopt;
    }
    const PseudonymCheck check = checkPseudonym(name);
    if (!check.pseudonym) {
        why = "pseudonym refused: " + check.error.toStdString();
        return std::nullopt;
    }
    Entry e;
    e.key = check.pseudonym->key.toStdString();
    e.pseudo = check.pseudonym->shown.toStdString();
    const auto [p, ec] = std::from_chars(score.data(), score.data() + score.size(), e.score);
    if (ec != std::errc() || p != score.data() + score.size() || e.score < 1 ||
        e.score > engine::kQuestions) {
        why = "the score is not a number from 1 to " + std::to_string(engine::kQuestions);
        return std::nullopt;
    }
    if (eligible != "0" && eligible != "1") {
        why = "eligible is neither 1 nor 0";
        return std::nullopt;
    }
    e.eligible = eligible == "1";
    const std::optional<std::int64_t> micros = parseDate(date);
    if (!micros) {
        why = "the date is not of the form 2026-12-07T14:02:11Z, from 1970 on";
        return std::nullopt;
    }
    e.micros = *micros;
    return e;
}

} // namespace

std::optional<std::vector<Entry>> readCsv(std::istream& in, std::string& error,
                                          std::int64_t* lines) {
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> byKey;
    std::string line;
    std::int64_t number = 0;
    std::int64_t read = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number == 1) {
            if (line.starts_with("\xEF\xBB\xBF")) // a byte-order mark, as spreadsheets write
                line.erase(0, 3);
            if (line != kCsvHeader) {
                error = "1: expected the header " + std::string(kCsvHeader);
                return std::nullopt;
            }
            continue;
        }
        if (line.empty())
            continue;
        ++read;
        std::string why;
        std::optional<Entry> e = parseLine(line, why);
        if (!e) {
            error = std::to_string(number) + ": " + why;
            return std::nullopt;
        }
        const auto [it, added] = byKey.try_emplace(e->key, entries.size());
        if (added) {
            entries.push_back(std::move(*e));
            continue;
        }
        Entry& kept = entries[it->second];
        if (better(*e, kept) || (!better(kept, *e) && e->micros < kept.micros))
            kept = std::move(*e);
    }
    if (number == 0) {
        error = "1: expected the header " + std::string(kCsvHeader);
        return std::nullopt;
    }
    if (lines)
        *lines = read;
    return entries;
}

void writeCsvLine(std::ostream& out, const Entry& e) {
    out << e.pseudo << ';' << e.score << ';' << (e.eligible ? '1' : '0') << ';'
        << formatDate(e.micros) << '\n';
}

int importCsv(Store& store, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "dorlo-ranking: cannot read " << path << "\n";
        return 1;
    }
    std::string error;
    std::int64_t lines = 0;
    const std::optional<std::vector<Entry>> entries = readCsv(in, error, &lines);
    if (!entries) {
        std::cerr << "dorlo-ranking: " << path << ":" << error << "; nothing imported\n";
        return 1;
    }
    try {
        const std::int64_t stored = store.importAll(*entries);
        std::cout << "dorlo-ranking: " << path << ": " << lines << " entries read, " << stored
                  << " stored (the others were not better than an entry of the same player)\n";
    } catch (const StoreError& e) {
        std::cerr << "dorlo-ranking: " << e.what() << "; nothing imported\n";
        return 1;
    }
    return 0;
}

int exportCsv(Store& store, const std::string& path) {
    // Written beside, then renamed: a failed export never leaves a half file in its place.
    const std::string part = path + ".part";
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    std::int64_t written = 0;
    try {
        out << kCsvHeader << '\n';
        store.exportAll([&](const Entry& e) {
            writeCsvLine(out, e);
            ++written;
        });
    } catch (const StoreError& e) {
        std::cerr << "dorlo-ranking: " << e.what() << "; nothing exported\n";
        std::remove(part.c_str());
        return 1;
    }
    out.close();
    if (!out || std::rename(part.c_str(), path.c_str()) != 0) {
        std::cerr << "dorlo-ranking: cannot write " << path << "\n";
        std::remove(part.c_str());
        return 1;
    }
    std::cout << "dorlo-ranking: " << written << " entries written to " << path << "\n";
    return 0;
}

} // namespace ranking
