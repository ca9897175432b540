#pragma once
// The check of one answer and the ranking code, as pure functions over the tables.
#include "records.h"
#include "substitution.h"

#include <QLatin1String>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace engine {

enum class Outcome { Empty, Found, Far, Near, Close, VeryClose };

// Colours as 0x00BBGGRR: red in the lowest byte, blue in the third.
constexpr std::uint32_t kRed = 255;
constexpr std::uint32_t kGreen = 65280;

struct CheckResult {
    Outcome outcome = Outcome::Empty;
    QString caption; // "?", "Correct", "Faux", "à peu près", "Presque", "Quasiment"
    std::uint32_t backColor = kRed;
    bool bold = false; // found
    // What the answer box then holds, each put in its remembered text (Tag) before its
    // shown text: the answer without its outer spaces, then, when found, in its place the
    // rebuilt plain text of variant 1.
    QString trimmed;
    std::optional<QString> plain;
    bool setInvalide = false; // the found text's length differs from its variant
    int closeness = 0;        // best closeness in percent (0 when found or empty)
};

CheckResult checkAnswer(const TableSet& tables, const Reponses& reponses, int question,
                        const QString& text);

// The ranking code of the count. boxTexts is indexed 1..30 (element 0 unused): the texts
// the boxes show after the check. tag is the new working string, or nullopt when it keeps
// its previous content (a count of 0, or one outside 0..30, shows the placeholder).
// The code's caption while no answer is found: no code at all.
constexpr QLatin1String kCodePlaceholder("- - - - - -");

struct RankingCode {
    QString caption;
    std::optional<QString> tag;
};
RankingCode rankingCode(const TableSet& tables, const Codes& codes, int count, bool invalide,
                        const std::array<QString, kQuestions + 1>& boxTexts);

// The decoded stored code of a score from 1 to 30: characters 1 to 6 of Codes(score), or 7 to
// 12 for a game marked not eligible. Empty for a score outside 1..30.
QString storedCode(const TableSet& tables, const Codes& codes, int score, bool invalide);

// The plain text of variant 1 of a question, as a found answer's box shows it.
QString plainAnswer(const TableSet& tables, const Reponses& reponses, int question);

// The code of thirty answers found in an eligible game, from the thirty boxes' texts
// (indexed 1..30).
QString computedCode(const std::array<QString, kQuestions + 1>& boxTexts);

// The six-digit base-36 routine on a total (exposed for tests). Computed in 64 bits, so a
// long edited box cannot overflow; results for totals that fit 32 bits are unchanged.
QString digitCode(std::int64_t total);

// Rounds halves to the even neighbour, as every float-to-integer conversion here does.
std::int64_t roundHalfEven(double value);

} // namespace engine
