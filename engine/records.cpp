#include "records.h"

#include "cp1252.h"

#include <optional>

namespace engine {
namespace {

constexpr int kMaxRecordLength = 55;

bool isPrintableCaptionCode(int c) {
    // Graphic characters of the page only: no controls, no undefined bytes, no space,
    // no-break space or soft hyphen, and no '&' (a mnemonic marker in labels).
    if (c <= 32 || c == 127 || c == '&' || c == 0xA0 || c == 0xAD || c > 255)
        return false;
    return cp1252::toUnicode(static_cast<unsigned char>(c)).isPrint();
}

// Undoes the packing's character chain: each caption character is read against the one
// before it, the first against the caption's length. nullopt when a value inside the mod is
// negative, which well-formed data never gives.
std::optional<QString> unpackCharacters(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    qsizetype k = caption.size();
    for (QChar ch : caption) {
        const int c = cp1252::codeOr63(ch);
        const qsizetype inner = c - 35 - k + 125;
        if (inner < 0)
            return std::nullopt;
        out.append(QChar(static_cast<char16_t>(inner % 126 + 1)));
        k = c - 35;
    }
    return out;
}

int digitOf(QChar c) {
    return (cp1252::codeOr63(c) - 36) % 10;
}

} // namespace

QStringView trimSpaces(QStringView s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.sliced(b, e - b);
}

int Reponses::length(int variant, int question) const {
    if (variant < 1 || variant > kVariants || question < 1 || question > kQuestions)
        return 0;
    int n = 0;
    while (n < kPositions && cell[variant][question][n + 1] != 0)
        ++n;
    return n;
}

AnswerTables unpackRecords(const std::array<QString, kRecordSlots>& captions) {
    AnswerTables t;
    for (int slot = kRecordSlots - 1; slot >= 0; --slot) {
        const std::optional<QString> unpacked = unpackCharacters(captions[slot]);
        if (!unpacked)
            continue;
        const QStringView r = trimSpaces(*unpacked);
        if (r.size() > kMaxRecordLength || r.size() < 2)
            continue;
        // Truncating mod: a code below 36 gives a negative digit and an unusable number.
        const int q = digitOf(r[1]) * 10 + digitOf(r[0]);
        if (q < 1 || q > kQuestions)
            continue;
        int v = 1;
        while (v <= kVariants && t.reponses.cell[v][q][1] != 0)
            ++v;
        if (v > kVariants)
            continue;
        const qsizetype terminator = r.indexOf(u'D', 2);
        const qsizetype end = terminator < 0 ? r.size() : terminator;
        if (end - 2 > kPositions)
            continue;
        for (qsizetype p = 2; p < end; ++p)
            t.reponses.cell[v][q][p - 1] = r[p].unicode();
        if (v == 1)
            t.codes[q] = terminator < 0 ? QString() : r.sliced(terminator + 1).left(12).toString();
    }
    return t;
}

QString packRecord(const QString& unpacked) {
    QString caption;
    caption.reserve(unpacked.size());
    qsizetype k = unpacked.size();
    for (QChar ch : unpacked) {
        const int x = ch.unicode();
        if (x < 1 || x > 126)
            return {};
        // c - k + 90 = x - 1 + 126 m with m >= 0; the lowest printable c keeps the next
        // key lowest, which leaves the most choices for the characters that follow.
        int c = -1;
        for (qsizetype cand = k - 90 + x - 1; cand <= 255; cand += 126) {
            if (isPrintableCaptionCode(static_cast<int>(cand))) {
                c = static_cast<int>(cand);
                break;
            }
        }
        if (c < 0)
            return {};
        caption.append(cp1252::toUnicode(static_cast<unsigned char>(c)));
        k = c - 35;
    }
    return caption;
}

} // namespace engine
