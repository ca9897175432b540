#include "check.h"

#include "cp1252.h"

#include <algorithm>
#include <cmath>

namespace engine {
namespace {

char16_t upper(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return c - 32;
    if (c < 128)
        return c;
    return QChar(c).toUpper().unicode();
}

char16_t stored(const Reponses& r, int variant, int question, int position) {
    if (question < 1 || question > kQuestions)
        return 0;
    return r.at(variant, question, position);
}

bool exactMatch(const TableSet& tables, const Reponses& r, int q, int v, QStringView text) {
    for (int i = 1; i <= kPositions; ++i) {
        const char16_t e = i <= text.size() ? upper(tables.encode(q, v, text[i - 1].unicode())) : 0;
        if (e != upper(stored(r, v, q, i)))
            return false;
    }
    return true;
}

int closeness(const TableSet& tables, const Reponses& r, int q, int v, QStringView text) {
    std::array<char16_t, kPositions> work{};
    std::array<bool, kPositions> consumed{};
    int n = 0;
    while (n < kPositions && stored(r, v, q, n + 1) != 0) {
        work[n] = upper(stored(r, v, q, n + 1));
        ++n;
    }
    int matches = 0;
    if (n > 0) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t e = upper(tables.encode(q, v, text[i].unicode()));
            for (qsizetype k = i - 2; k <= i + 2; ++k) {
                if (k < 0 || k >= n || consumed[k] || work[k] != e)
                    continue;
                ++matches;
                consumed[k] = true;
                break;
            }
        }
    }
    const double divisor = static_cast<double>(std::max<qsizetype>(text.size(), n));
    return static_cast<int>(roundHalfEven(100.0 * matches / divisor));
}

} // namespace

std::int64_t roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    auto result = static_cast<std::int64_t>(floor);
    if (diff > 0.5 || (diff == 0.5 && (result % 2 != 0)))
        ++result;
    return result;
}

CheckResult checkAnswer(const TableSet& tables, const Reponses& reponses, int question,
                        const QString& text) {
    CheckResult result;
    result.trimmed = trimSpaces(text).toString();
    const QString& t = result.trimmed;
    if (t.isEmpty()) {
        result.caption = QStringLiteral("?");
        return result;
    }
    int best = 0;
    for (int v = 1; v <= kVariants; ++v) {
        if (exactMatch(tables, reponses, question, v, t)) {
            result.outcome = Outcome::Found;
            result.caption = QStringLiteral("Correct");
            result.backColor = kGreen;
            result.bold = true;
            result.plain = plainAnswer(tables, reponses, question);
            result.setInvalide = t.size() != reponses.length(v, question);
            return result;
        }
        best = std::max(best, closeness(tables, reponses, question, v, t));
    }
    result.closeness = best;
    if (best >= 90) {
        result.outcome = Outcome::VeryClose;
        result.caption = QStringLiteral("Quasiment");
    } else if (best >= 80) {
        result.outcome = Outcome::Close;
        result.caption = QStringLiteral("Presque");
    } else if (best >= 70) {
        result.outcome = Outcome::Near;
        result.caption = QStringLiteral(u"à peu près");
    } else {
        result.outcome = Outcome::Far;
        result.caption = QStringLiteral("Faux");
    }
    return result;
}

QString digitCode(std::int64_t total) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QString code;
    std::int64_t value = 0;
    // Sums of box texts stay far below this; a wider total has no meaningful code.
    if (__builtin_mul_overflow(total, std::int64_t{1000}, &value))
        return code;
    for (int i = 0; i < 6; ++i) {
        const std::int64_t digit = value % 36; // truncating: follows the dividend's sign
        if (digit >= 0)
            code.append(QChar(kDigits[digit]));
        // The quotient rounded half to even, exactly, without going through a double.
        std::int64_t quotient = value / 36;
        const std::int64_t twice = 2 * (digit < 0 ? -digit : digit);
        const std::int64_t away = value < 0 ? -1 : 1;
        if (twice > 36 || (twice == 36 && quotient % 2 != 0))
            quotient += away;
        value = quotient;
    }
    return code;
}

RankingCode rankingCode(const TableSet& tables, const Codes& codes, int count, bool invalide,
                        const std::array<QString, kQuestions + 1>& boxTexts) {
    RankingCode result;
    if (count < 1 || count > kQuestions) {
        result.caption = kCodePlaceholder;
        return result;
    }
    result.tag = codes[count].mid(invalide ? 6 : 0, 6);
    result.caption = storedCode(tables, codes, count, invalide);
    if (count == kQuestions && !invalide) {
        result.caption = computedCode(boxTexts);
        result.tag = result.caption;
    }
    return result;
}

QString storedCode(const TableSet& tables, const Codes& codes, int score, bool invalide) {
    QString code;
    if (score < 1 || score > kQuestions)
        return code;
    for (QChar c : codes[score].mid(invalide ? 6 : 0, 6)) {
        const int x = tables.lowestCodeCharacter(score, c.unicode());
        if (x >= 0)
            code.append(QChar(static_cast<char16_t>(x)));
    }
    return code;
}

QString plainAnswer(const TableSet& tables, const Reponses& reponses, int question) {
    QString plain;
    for (int c = 1; c <= kPositions; ++c) {
        const char16_t s = stored(reponses, 1, question, c);
        if (s == 0)
            continue;
        const int x = tables.lowestPlainCode(question, 1, s);
        if (x >= 0)
            plain.append(cp1252::toUnicode(static_cast<unsigned char>(x)));
    }
    return plain;
}

QString computedCode(const std::array<QString, kQuestions + 1>& boxTexts) {
    std::int64_t total = 0;
    for (int q = 1; q <= kQuestions; ++q) {
        for (QChar c : boxTexts[q])
            total += cp1252::codeOr63(c);
    }
    return digitCode(total);
}

} // namespace engine
