#pragma once
// Which ranking code means which score, as the game shows them.
#include "engine/check.h"

#include <QHash>
#include <QString>

#include <optional>

namespace ranking {

struct Score {
    int answers = 0;      // 1..30
    bool eligible = true; // false: a game marked not eligible ("hors concours")
    bool operator==(const Score&) const = default;
};

class CodeBook {
public:
    // Every code the game can show: the stored first half for 1..29, the code computed from
    // the thirty answers for 30, and the stored second half for 1..30 of a game marked not
    // eligible.
    CodeBook(const engine::TableSet& tables, const engine::AnswerTables& answers);
    // This edition's codes, unpacked from its packed records.
    static CodeBook ofThisEdition();

    // The score of a typed code, trimmed and upper-cased; nullopt when it is no code.
    std::optional<Score> lookup(const QString& typed) const;
    // The code of a score, for tests and benchmarks.
    QString codeOf(Score score) const;

private:
    QHash<QString, Score> scores_;
};

} // namespace ranking
