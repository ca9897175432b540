#include "pseudonym.h"

#include <QList>

namespace ranking {
namespace {

bool allowed(char32_t c) {
    if (c == U' ' || c == U'-' || c == U'_' || c == U'.' || c == U'\'')
        return true;
    return QChar::isLetter(c) || QChar::isDigit(c);
}

} // namespace

PseudonymCheck checkPseudonym(const QString& typed) {
    PseudonymCheck result;
    const QString shown = typed.normalized(QString::NormalizationForm_C).trimmed();
    const QList<uint> characters = shown.toUcs4();
    if (characters.isEmpty()) {
        result.error = QStringLiteral("Indiquez un pseudonyme.");
        return result;
    }
    if (characters.size() > kMaxPseudonymLength) {
        result.error = QStringLiteral("Le pseudonyme a %1 caractères ; %2 au plus sont admis.")
                           .arg(characters.size())
                           .arg(kMaxPseudonymLength);
        return result;
    }
    for (const char32_t c : characters) {
        if (!allowed(c)) {
            const QString shownChar = QChar::isPrint(c)
                                          ? QString::fromUcs4(&c, 1)
                                          : QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0'));
            result.error = QStringLiteral(u"Le pseudonyme contient « %1 », qui n'est pas admis : "
                                          u"seuls les lettres, les chiffres, l'espace et "
                                          u"les signes - _ . ' le sont.")
                               .arg(shownChar);
            return result;
        }
    }
    result.pseudonym = Pseudonym{shown, shown.toCaseFolded().simplified()};
    return result;
}

} // namespace ranking
