#pragma once
// What the authoring file and the data generation agree on: the limits of an answer, and
// which characters one substitution table can hold.
#include <QString>

#include <optional>
#include <set>

namespace author::detail {

inline constexpr int kMaxForms = 3;
inline constexpr int kMaxAnswerLength = 30;
inline constexpr int kMinLetters = 19;
inline constexpr int kMaxLetters = 24;
inline constexpr int kMaxAccented = 2;
inline constexpr int kClasses = 26;

bool isAccentedCapital(char16_t c);
bool isLetterClass(char16_t cls);
bool isCodeCharacter(QChar c);
// 0 O, 1 I, 2 Z, 5 S and 8 B are copied for one another, by eye or by ear: no ranking code of
// an edition holds them.
bool isLookAlike(QChar c);

// The characters one answer form needs its table to hold, by kind.
struct Need {
    std::set<char16_t> letters;  // A-Z
    std::set<char16_t> accented; // È É Ï Û
    std::set<char16_t> others;   // always holds '#'
};

// nullopt, with the reason in *why, when no table can hold the form.
std::optional<Need> analyse(const QString& form, QString* why);
// The codes of an author-given score must be accepted by the score's variant-1 table too.
std::optional<Need> analyseWithCodes(const QString& form, const QString& codes, QString* why);

// Sets *error (when given) to the message and returns it.
QString fail(QString* error, const QString& message);

} // namespace author::detail
