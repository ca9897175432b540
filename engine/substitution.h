#pragma once
// Per-question substitution tables and their lookup.
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
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

    // Chiffre on one character: the output, or '#' when there is no table or no entry.
    char16_t encode(int question, int variant, char16_t c) const {
        const char16_t out = lookup(question, variant, c);
        return out ? out : u'#';
    }

    // The lowest code-page code from 32 to 255 whose character encodes exactly to `out`
    // (case counts), or -1. Rebuilds the plain text of a stored answer.
    int lowestPlainCode(int question, int variant, char16_t out) const;
    // The lowest code from 48 to 90 whose character encodes exactly to `out` through
    // variant 1, or -1. Decodes a stored ranking code.
    int lowestCodeCharacter(int question, char16_t out) const;

private:
    struct Table {
        bool present = false;
        std::array<char16_t, 256> direct{}; // by input character; 0 = no entry
        std::vector<SubstEntry> wide;       // inputs beyond Latin-1, never in our data
        // By ASCII output: the answers to the two reverse searches, precomputed.
        std::array<std::int16_t, 128> plainCode{};
        std::array<std::int16_t, 128> codeCharacter{};
    };
    const Table* table(int question, int variant) const;
    int scan(int question, int variant, char16_t out, int low, int high) const;

    // Indexed by variant (1..3) * 31 + question (1..30); empty for a default set.
    std::vector<Table> tables_;
};

// Empty for an empty string; "#" when the table lacks the character (or there is no table,
// or the string has two or more characters); otherwise one letter.
QString Chiffre(const TableSet& tables, int question, int variant, QStringView character);

} // namespace engine
