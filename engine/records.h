#pragma once
// The answer table and the per-score code table, unpacked from packed record captions.
#include <QString>

#include <array>

namespace engine {

constexpr int kQuestions = 30;
constexpr int kVariants = 3;
constexpr int kPositions = 30;
constexpr int kRecordSlots = 34;

// Reponses(variant, question, position), all 1-based; u'\0' is an empty element.
struct Reponses {
    std::array<std::array<std::array<char16_t, kPositions + 1>, kQuestions + 1>, kVariants + 1>
        cell{};

    char16_t at(int variant, int question, int position) const {
        return cell[variant][question][position];
    }
    // Number of stored characters of one variant (0 when the variant has no answer).
    int length(int variant, int question) const;
};

// Codes(score), 1-based: 12 encoded characters each, empty when never filled.
using Codes = std::array<QString, kQuestions + 1>;

struct AnswerTables {
    Reponses reponses;
    Codes codes;
};

// The text without its leading and trailing spaces (32), the only blank trimmed from a
// record or an answer: tabs and other blanks are characters to encode like any other.
QStringView trimSpaces(QStringView text);

// Unpacks the 34 captions (slot 0 to 33), processing slot 33 first.
// Captions hold characters of the 8-bit code page; codes are taken through cp1252.
// Records that break the data invariants are skipped rather than trusted: a question number
// outside 1..30, a fourth record for a question, an answer over 30 characters, fewer than
// two characters, or a caption whose unpacking leaves the 1..126 range.
AnswerTables unpackRecords(const std::array<QString, kRecordSlots>& captions);

// The inverse of the unpacking's character step, for tools and tests:
// packs an unpacked record text into a caption made of printable code-page characters.
// Returns an empty string when some character cannot be packed: a code outside 1..126, or
// a text whose key chain would need a control or undefined byte (about one text in four;
// padding it with spaces, which the unpacking trims, changes the chain).
QString packRecord(const QString& unpacked);

} // namespace engine
