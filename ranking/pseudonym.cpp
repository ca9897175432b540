#include "pseudonym.h"

#include <QDebug>
#include <QList>

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uspoof.h>
#include <unicode/uversion.h>

#include <memory>

namespace ranking {
namespace {

icu::UnicodeString toIcu(const QString& s) {
    return icu::UnicodeString(reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()));
}

QString fromIcu(const icu::UnicodeString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
}

QString codePoint(char32_t c) {
    return QStringLiteral("U+") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
}

bool isMark(char32_t c) {
    return (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0;
}

// What Unicode joins to the character before it when counting what a reader sees.
bool joinsPrevious(char32_t c) {
    const int rule = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
    return rule == U_GCB_EXTEND || rule == U_GCB_SPACING_MARK;
}

// Blank or invisible however it is drawn: fillers that pass for letters, format characters,
// spaces other than the plain one.
bool invisible(char32_t c) {
    if (c == U' ')
        return false;
    if (c == 0x2800 || u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) ||
        u_isUWhiteSpace(c))
        return true;
    const int8_t type = u_charType(c);
    return type == U_FORMAT_CHAR || type == U_CONTROL_CHAR || type == U_UNASSIGNED ||
           type == U_PRIVATE_USE_CHAR || type == U_SURROGATE;
}

bool allowed(char32_t c) {
    if (c == U' ' || c == U'-' || c == U'_' || c == U'.' || c == U'\'')
        return true;
    return u_isalpha(c) || u_charType(c) == U_DECIMAL_DIGIT_NUMBER || isMark(c);
}

// Set up once; ICU allows concurrent checks on a checker that is no longer being configured.
struct Icu {
    const icu::Normalizer2* nfkcCaseFold = nullptr;
    USpoofChecker* spoof = nullptr;
    bool ok = false;

    Icu() {
        UErrorCode status = U_ZERO_ERROR;
        nfkcCaseFold = icu::Normalizer2::getNFKCCasefoldInstance(status);
        spoof = uspoof_open(&status);
        uspoof_setRestrictionLevel(spoof, USPOOF_HIGHLY_RESTRICTIVE);
        uspoof_setChecks(spoof,
                         USPOOF_RESTRICTION_LEVEL | USPOOF_MIXED_NUMBERS | USPOOF_INVISIBLE |
                             USPOOF_HIDDEN_OVERLAY,
                         &status);
        ok = U_SUCCESS(status);
        if (!ok)
            qCritical("ICU could not be set up to check pseudonyms: %s", u_errorName(status));
    }
    ~Icu() { uspoof_close(spoof); }
    Icu(const Icu&) = delete;
    Icu& operator=(const Icu&) = delete;
};

const Icu& icu() {
    static const Icu instance;
    return instance;
}

// Refuses what the characters one by one already rule out.
QString characterError(const QList<uint>& characters) {
    for (const char32_t c : characters) {
        if (invisible(c))
            return QStringLiteral(u"Le pseudonyme contient un caractère invisible (%1), "
                                  u"qui n'est pas admis.")
                .arg(codePoint(c));
        if (!allowed(c))
            return QStringLiteral(u"Le pseudonyme contient « %1 », qui n'est pas admis : "
                                  u"seuls les lettres, les chiffres, l'espace et "
                                  u"les signes - _ . ' le sont.")
                .arg(QString::fromUcs4(&c, 1));
    }
    return {};
}

// Counts what a reader sees, and refuses the sequences a browser's pattern cannot count alike:
// each character must be one letter, digit or sign followed by the marks Unicode joins to it.
QString lengthError(const QString& shown) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return QStringLiteral(u"Le pseudonyme ne peut pas être vérifié pour l'instant.");
    const icu::UnicodeString text = toIcu(shown);
    it->setText(text);
    int count = 0;
    for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE;
         start = end, end = it->next()) {
        ++count;
        const QList<uint> cluster = fromIcu(text.tempSubStringBetween(start, end)).toUcs4();
        const char32_t base = cluster.front();
        if (joinsPrevious(base))
            return QStringLiteral(u"Le pseudonyme contient un accent (%1) qui ne suit "
                                  u"aucune lettre.")
                .arg(codePoint(base));
        for (qsizetype i = 1; i < cluster.size(); ++i) {
            if (!joinsPrevious(cluster[i]))
                return QStringLiteral(u"Le pseudonyme contient « %1 », une suite de "
                                      u"caractères qui n'est pas admise.")
                    .arg(QString::fromUcs4(reinterpret_cast<const char32_t*>(cluster.data()),
                                           cluster.size()));
        }
        if (cluster.size() > 1 && !u_isalpha(base) && u_charType(base) != U_DECIMAL_DIGIT_NUMBER)
            return QStringLiteral(u"Le pseudonyme contient un accent (%1) qui ne suit "
                                  u"aucune lettre.")
                .arg(codePoint(cluster[1]));
        if (cluster.size() - 1 > kMaxMarksPerCharacter)
            return QStringLiteral(u"Le pseudonyme porte plus de %1 accents sur un même "
                                  u"caractère.")
                .arg(kMaxMarksPerCharacter);
    }
    if (count > kMaxPseudonymLength)
        return QStringLiteral(u"Le pseudonyme a %1 caractères ; %2 au plus sont admis.")
            .arg(count)
            .arg(kMaxPseudonymLength);
    return {};
}

QString spoofError(const QString& shown) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString text = toIcu(shown);
    const int32_t failed =
        uspoof_check2(icu().spoof, text.getBuffer(), text.length(), nullptr, &status);
    if (U_FAILURE(status))
        return QStringLiteral(u"Le pseudonyme ne peut pas être vérifié pour l'instant.");
    if (failed & USPOOF_RESTRICTION_LEVEL)
        return QStringLiteral(u"Le pseudonyme mélange plusieurs écritures (des lettres latines "
                              u"et cyrilliques ou grecques, par exemple) : écrivez-le dans "
                              u"une seule.");
    if (failed & USPOOF_MIXED_NUMBERS)
        return QStringLiteral(u"Le pseudonyme mélange des chiffres de plusieurs écritures.");
    if (failed & (USPOOF_INVISIBLE | USPOOF_HIDDEN_OVERLAY))
        return QStringLiteral(u"Le pseudonyme contient un accent répété ou caché par la lettre "
                              u"qui le porte.");
    return {};
}

QString keyOf(const QString& shown, UErrorCode& status) {
    const icu::UnicodeString folded = icu().nfkcCaseFold->normalize(toIcu(shown), status);
    const icu::UnicodeString spaced = toIcu(fromIcu(folded).simplified());
    icu::UnicodeString skeleton;
    uspoof_getSkeletonUnicodeString(icu().spoof, 0, spaced, skeleton, &status);
    return fromIcu(skeleton);
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
    if (!icu().ok) {
        result.error = QStringLiteral(u"Le pseudonyme ne peut pas être vérifié pour l'instant.");
        return result;
    }
    result.error = characterError(characters);
    if (result.error.isEmpty())
        result.error = lengthError(shown);
    if (result.error.isEmpty())
        result.error = spoofError(shown);
    if (!result.error.isEmpty())
        return result;
    UErrorCode status = U_ZERO_ERROR;
    const QString key = keyOf(shown, status);
    if (U_FAILURE(status) || key.isEmpty()) {
        qCritical("No key for a pseudonym: %s", u_errorName(status));
        result.error = QStringLiteral(u"Le pseudonyme ne peut pas être vérifié pour l'instant.");
        return result;
    }
    result.pseudonym = Pseudonym{shown, key};
    return result;
}

QString pseudonymKeyVersion() {
    UVersionInfo unicode;
    u_getUnicodeVersion(unicode);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(unicode, text);
    return QStringLiteral("skeleton-nfkc-cf/unicode-%1").arg(QLatin1String(text));
}

} // namespace ranking
