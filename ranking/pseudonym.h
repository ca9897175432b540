#pragma once
// The name a player ranks under, and what makes two names one player.
#include <QString>

#include <optional>
#include <string_view>

namespace ranking {

// Characters as a reader sees them: a letter with its accents is one.
constexpr int kMaxPseudonymLength = 24;
// Stacked accents beyond this would spill over the neighbouring rows of the ranking.
constexpr int kMaxMarksPerCharacter = 4;

// For the form's <input pattern>, which browsers compile with the `v` flag: it counts the way
// checkPseudonym() does (one unit per letter with its joined marks, the surrounding spaces the
// server trims left out), so the form and the server agree on the length of any name the server
// admits. The class subtracted from \p{M} is the marks that Unicode's grapheme rules do not join
// to the letter before; the four added are letters that they do join.
constexpr std::string_view kPseudonymPattern =
    R"(\s*(?:[^[\p{M}--[\u102B\u102C\u1038\u1062-\u1064\u1067-\u106D\u1083\u1087-\u108C\u108F)"
    R"(\u109A-\u109C\u1A61\u1A63\u1A64\uAA7B\uAA7D\u{11720}\u{11721}]]\u0E33\u0EB3\uFF9E\uFF9F])"
    R"([[\p{M}--[\u102B\u102C\u1038\u1062-\u1064\u1067-\u106D\u1083\u1087-\u108C\u108F)"
    R"(\u109A-\u109C\u1A61\u1A63\u1A64\uAA7B\uAA7D\u{11720}\u{11721}]]\u0E33\u0EB3\uFF9E\uFF9F])"
    R"({0,4}){1,24}\s*)";

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
