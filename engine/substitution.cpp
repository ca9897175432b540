#include "substitution.h"

#include "cp1252.h"
#include "records.h"

namespace engine {
namespace {
constexpr int kSlots = (kVariants + 1) * (kQuestions + 1);
int slotOf(int question, int variant) {
    return variant * (kQuestions + 1) + question;
}
bool inRange(int question, int variant) {
    return question >= 1 && question <= kQuestions && variant >= 1 && variant <= kVariants;
}
} // namespace

TableSet::TableSet(std::span<const SubstTableData> tables) : tables_(kSlots) {
    for (const SubstTableData& data : tables) {
        if (!inRange(data.question, data.variant))
            continue;
        Table& t = tables_[slotOf(data.question, data.variant)];
        t.present = true;
        for (const SubstEntry& e : data.entries) {
            // Inputs are unique by construction; should one repeat, the first wins.
            if (e.in < 256) {
                if (!t.direct[e.in])
                    t.direct[e.in] = e.out;
            } else {
                t.wide.push_back(e);
            }
        }
    }
    for (int v = 1; v <= kVariants; ++v) {
        for (int q = 1; q <= kQuestions; ++q) {
            Table& t = tables_[slotOf(q, v)];
            t.plainCode.fill(-1);
            t.codeCharacter.fill(-1);
            if (!t.present)
                continue;
            // Descending, so the lowest code wins.
            for (int x = 255; x >= 32; --x) {
                const char16_t out = encode(q, v, cp1252::toUnicode(x).unicode());
                if (out < 128) {
                    t.plainCode[out] = static_cast<std::int16_t>(x);
                    if (x <= 90 && x >= 48)
                        t.codeCharacter[out] = static_cast<std::int16_t>(x);
                }
            }
        }
    }
}

const TableSet::Table* TableSet::table(int question, int variant) const {
    if (tables_.empty() || !inRange(question, variant))
        return nullptr;
    const Table& t = tables_[slotOf(question, variant)];
    return t.present ? &t : nullptr;
}

char16_t TableSet::lookup(int question, int variant, char16_t c) const {
    const Table* t = table(question, variant);
    if (!t)
        return 0;
    if (c < 256)
        return t->direct[c];
    for (const SubstEntry& e : t->wide) {
        if (e.in == c)
            return e.out;
    }
    return 0;
}

bool TableSet::hasTable(int question, int variant) const {
    return table(question, variant);
}

int TableSet::scan(int question, int variant, char16_t out, int low, int high) const {
    for (int x = low; x <= high; ++x) {
        if (encode(question, variant, cp1252::toUnicode(x).unicode()) == out)
            return x;
    }
    return -1;
}

int TableSet::lowestPlainCode(int question, int variant, char16_t out) const {
    const Table* t = table(question, variant);
    if (t && out < 128)
        return t->plainCode[out];
    // Without a table every character encodes to '#'.
    return scan(question, variant, out, 32, 255);
}

int TableSet::lowestCodeCharacter(int question, char16_t out) const {
    const Table* t = table(question, 1);
    if (t && out < 128)
        return t->codeCharacter[out];
    return scan(question, 1, out, 48, 90);
}

QString Chiffre(const TableSet& tables, int question, int variant, QStringView character) {
    if (character.isEmpty())
        return {};
    if (character.size() > 1)
        return QStringLiteral("#");
    return QString(QChar(tables.encode(question, variant, character[0].unicode())));
}

} // namespace engine
