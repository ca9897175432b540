#pragma once
// The name a player ranks under.
#include <QString>

#include <optional>

namespace ranking {

constexpr int kMaxPseudonymLength = 24;

struct Pseudonym {
    QString shown; // trimmed, composed (NFC)
    QString key;   // one entry per key: case and runs of spaces do not make a new player
};

struct PseudonymCheck {
    std::optional<Pseudonym> pseudonym;
    QString error; // in French, when refused
};

// 1 to 24 characters after trimming: letters (accented ones too), digits, space, '-', '_',
// '.' and '\''.
PseudonymCheck checkPseudonym(const QString& typed);

} // namespace ranking
