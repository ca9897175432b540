#pragma once
// Per-question substitution tables and their lookup.
#include <QString>
#include <QStringView>

#include <array>
#include <span>
#include <vector>

namespace engine {

struct SubstEntry {
    char16_t in;
    char16_t out;
};

// One table as fixed data: which (question, variant) it serves and its entries.
struct SubstTableData {
    int question;
    int variant;
    std::span<const SubstEntry> entries;
};

// The set of tables of one edition, indexed for constant-time lookup.
class TableSet {
public:
    TableSet() = default;
    explicit TableSet(std::span<const SubstTableData> tables);

    // The output for one character, or u'\0' when there is no table or no entry.
    char16_t lookup(int question, int variant, char16_t c) const;
    bool hasTable(int question, int variant) const;

private:
    // Indexed by variant (1..3), question (1..30); empty when there is no table.
    // Inputs are all below 256, so a direct array serves each table.
    std::array<std::array<std::vector<char16_t>, 31>, 4> direct_{};
};

// Empty for an empty string; "#" when the table lacks the character (or there is no table,
// or the string has two or more characters); otherwise one letter.
QString Chiffre(const TableSet& tables, int question, int variant, QStringView character);

} // namespace engine
