#include "table_characters.h"

#include <algorithm>

namespace author::detail {
namespace {

bool isAccentedSmall(char16_t c) {
    return c == 0xE8 || c == 0xE9 || c == 0xEF || c == 0xFB;
}
bool isOther(char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u' ' || c == u'\'' || c == u',' || c == u'-';
}

// The class of a character: the capital for letters, the character itself otherwise;
// 0 when no table can hold it.
char16_t classOf(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || isAccentedCapital(c) || isOther(c))
        return c;
    if ((c >= u'a' && c <= u'z') || isAccentedSmall(c))
        return c - 32;
    return 0;
}

} // namespace

bool isAccentedCapital(char16_t c) {
    return c == 0xC8 || c == 0xC9 || c == 0xCF || c == 0xDB;
}
bool isLetterClass(char16_t cls) {
    return (cls >= u'A' && cls <= u'Z') || isAccentedCapital(cls);
}

bool isCodeCharacter(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z');
}

bool isLookAlike(QChar c) {
    return QStringView(u"0O1I2Z5S8B").contains(c);
}

std::optional<Need> analyse(const QString& form, QString* why) {
    Need need;
    need.others.insert(u'#');
    for (QChar ch : form) {
        const char16_t cls = classOf(ch.unicode());
        if (!cls) {
            *why = QStringLiteral("\"%1\": no table can hold the character '%2' (U+%3)")
                       .arg(form, QString(ch))
                       .arg(ch.unicode(), 4, 16, QLatin1Char('0'));
            return std::nullopt;
        }
        if (isAccentedCapital(cls))
            need.accented.insert(cls);
        else if (isLetterClass(cls))
            need.letters.insert(cls);
        else
            need.others.insert(cls);
    }
    const int a = static_cast<int>(need.accented.size());
    if (a > kMaxAccented) {
        *why = QStringLiteral("\"%1\": more than %2 accented letters for one table")
                   .arg(form)
                   .arg(kMaxAccented);
        return std::nullopt;
    }
    const int most = std::min(kMaxLetters - a, kClasses - a - int(need.others.size()));
    if (int(need.letters.size()) > most) {
        *why = QStringLiteral("\"%1\": too many different characters for one table").arg(form);
        return std::nullopt;
    }
    return need;
}

QString fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return message;
}

std::optional<Need> analyseWithCodes(const QString& form, const QString& codes, QString* why) {
    std::optional<Need> need = analyse(form, why);
    if (need && !codes.isEmpty()) {
        need = analyse(form + codes, why);
        if (!need)
            *why = QStringLiteral("\"%1\" and the codes %2 need more characters than one table "
                                  "holds")
                       .arg(form, codes);
    }
    return need;
}

} // namespace author::detail
