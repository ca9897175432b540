#pragma once
// The name a player ranks under, and what makes two names one player.
#include <QString>

#include <optional>

namespace ranking {

// Characters as a reader sees them: a letter with its accents is one.
constexpr int kMaxPseudonymLength = 24;
// Accents in a row on one character; more would spill over the neighbouring rows of the ranking.
constexpr int kMaxMarksPerCharacter = 4;

// The value of the form's <input pattern> (browsers compile it with the `v` flag). It counts as
// checkPseudonym() does, a letter with the accents and conjoined letters Unicode joins to it
// being one, so the form and the server agree on the length of every name the server admits.
// Built from the server's Unicode data; to be HTML-escaped like any attribute value.
const QString& pseudonymPattern();

struct Pseudonym {
    QString shown; // as typed, trimmed and composed (NFC)
    // The player's identity: the confusable skeleton (Unicode TR39) of the name after NFKC, full
    // case folding and one space per run, so look-alikes, case and width make no new player.
    QString key;
};

struct PseudonymCheck {
    std::optional<Pseudonym> pseudonym;
    QString error; // in French, when refused
};

// 1 to 24 characters after trimming: letters (accented ones too), digits, space, '-', '_',
// '.' and '\'', in one writing system (Latin may go with Han, kana or Hangul), nothing invisible.
PseudonymCheck checkPseudonym(const QString& typed);

// Changes when the Unicode data behind the keys does: keys stored under another version should
// be recomputed from the shown names.
QString pseudonymKeyVersion();

} // namespace ranking
