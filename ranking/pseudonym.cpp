#include "pseudonym.h"

#include <QDebug>
#include <QList>

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/uniset.h>
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
    return type == U_FORMAT_CHAR || type == U_CONTROL_CHAR;
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
    // The sets the grapheme rules use for Indic conjuncts (a consonant, a virama, a consonant).
    icu::UnicodeSet viramas, consonants;
    // Where the joining characters differ from the marks.
    icu::UnicodeSet marksNotJoining, lettersJoining;
    bool ok = false;

    Icu() {
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString scripts =
            u"[\\p{sc=Deva}\\p{sc=Beng}\\p{sc=Gujr}\\p{sc=Orya}\\p{sc=Telu}\\p{sc=Mlym}]";
        viramas.applyPattern(u"[" + scripts + u"&\\p{Indic_Syllabic_Category=Virama}]", status);
        consonants.applyPattern(u"[" + scripts + u"&\\p{Indic_Syllabic_Category=Consonant}]",
                                status);
        marksNotJoining.applyPattern(u"[\\p{M}-\\p{gcb=Extend}-\\p{gcb=SpacingMark}]", status);
        lettersJoining.applyPattern(u"[[\\p{gcb=Extend}\\p{gcb=SpacingMark}]&[\\p{L}\\p{Nd}]]",
                                    status);
        for (icu::UnicodeSet* set : {&viramas, &consonants, &marksNotJoining, &lettersJoining})
            set->freeze();
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

// Where a browser's pattern ends each character: a base with the marks joined to it, a consonant
// also taking the consonants a virama conjoins to it. Returns the ends, in code points; none when
// a mark comes first.
QList<qsizetype> unitEnds(const QList<uint>& cps) {
    const Icu& data = icu();
    QList<qsizetype> ends;
    qsizetype i = 0;
    const qsizetype n = cps.size();
    const auto skipJoining = [&](qsizetype from, bool stopAtVirama) {
        while (from < n && joinsPrevious(cps[from]) &&
               !(stopAtVirama && data.viramas.contains(UChar32(cps[from]))))
            ++from;
        return from;
    };
    while (i < n) {
        if (joinsPrevious(cps[i]))
            return {};
        if (data.consonants.contains(UChar32(cps[i]))) {
            ++i;
            for (;;) {
                const qsizetype virama = skipJoining(i, true);
                if (virama == n || !data.viramas.contains(UChar32(cps[virama])))
                    break;
                const qsizetype next = skipJoining(virama + 1, false);
                if (next == n || !data.consonants.contains(UChar32(cps[next])))
                    break;
                i = next + 1;
            }
        } else {
            ++i;
        }
        i = skipJoining(i, false);
        ends.append(i);
    }
    return ends;
}

// Counts what a reader sees (ICU's grapheme clusters), and refuses the sequences the form's
// pattern would count otherwise, accents on no letter, and more than a few accents in a row.
QString lengthError(const QString& shown, const QList<uint>& cps) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return QStringLiteral(u"Le pseudonyme ne peut pas être vérifié pour l'instant.");
    const icu::UnicodeString text = toIcu(shown);
    it->setText(text);
    const QList<qsizetype> units = unitEnds(cps);
    qsizetype count = 0;
    qsizetype begin = 0;
    for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE;
         start = end, end = it->next()) {
        const qsizetype last = begin + text.countChar32(start, end - start);
        const char32_t base = cps[begin];
        if (joinsPrevious(base))
            return QStringLiteral(u"Le pseudonyme contient un accent (%1) qui ne suit "
                                  u"aucune lettre.")
                .arg(codePoint(base));
        if (last - begin > 1 && !u_isalpha(base) && u_charType(base) != U_DECIMAL_DIGIT_NUMBER)
            return QStringLiteral(u"Le pseudonyme contient un accent (%1) qui ne suit "
                                  u"aucune lettre.")
                .arg(codePoint(cps[begin + 1]));
        if (count >= units.size() || units[count] != last)
            return QStringLiteral(u"Le pseudonyme contient « %1 », une suite de "
                                  u"caractères qui n'est pas admise.")
                .arg(fromIcu(text.tempSubStringBetween(start, end)));
        int piled = 0;
        for (qsizetype i = begin + 1; i < last; ++i) {
            piled = joinsPrevious(cps[i]) ? piled + 1 : 0;
            if (piled > kMaxMarksPerCharacter)
                return QStringLiteral(u"Le pseudonyme porte plus de %1 accents sur un même "
                                      u"caractère.")
                    .arg(kMaxMarksPerCharacter);
        }
        ++count;
        begin = last;
    }
    if (count > kMaxPseudonymLength)
        return QStringLiteral(u"Le pseudonyme a %1 caractères ; %2 au plus sont admis.")
            .arg(count)
            .arg(kMaxPseudonymLength);
    return {};
}

QString spoofError(const icu::UnicodeString& text, int32_t checks) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t failed =
        checks & uspoof_check2(icu().spoof, text.getBuffer(), text.length(), nullptr, &status);
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

QString keyOf(const icu::UnicodeString& folded, UErrorCode& status) {
    const icu::UnicodeString spaced = toIcu(fromIcu(folded).simplified());
    icu::UnicodeString skeleton;
    uspoof_getSkeletonUnicodeString(icu().spoof, 0, spaced, skeleton, &status);
    // Folded again, as the skeleton maps some characters to capitals (zero to O); this also
    // composes it, so most keys read as the name.
    return fromIcu(icu().nfkcCaseFold->normalize(skeleton, status));
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
        result.error = lengthError(shown, characters);
    if (!result.error.isEmpty())
        return result;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString text = toIcu(shown);
    const icu::UnicodeString folded = icu().nfkcCaseFold->normalize(text, status);
    // Scripts folded too, as mathematical letters have none until NFKC gives them one; but
    // not the accents, as folding makes a dotted i of the Turkish İ.
    result.error = spoofError(text, USPOOF_ALL_CHECKS);
    if (result.error.isEmpty() && U_SUCCESS(status))
        result.error = spoofError(folded, USPOOF_RESTRICTION_LEVEL | USPOOF_MIXED_NUMBERS);
    if (!result.error.isEmpty())
        return result;
    const QString key = keyOf(folded, status);
    if (U_FAILURE(status) || key.isEmpty()) {
        qCritical("No key for a pseudonym: %s", u_errorName(status));
        result.error = QStringLiteral(u"Le pseudonyme ne peut pas être vérifié pour l'instant.");
        return result;
    }
    result.pseudonym = Pseudonym{shown, key};
    return result;
}

namespace {

QString classItems(const icu::UnicodeSet& set) {
    const auto escaped = [](UChar32 c) {
        return QStringLiteral("\\u{%1}").arg(c, 0, 16);
    };
    QString out;
    for (int32_t r = 0; r < set.getRangeCount(); ++r) {
        out += escaped(set.getRangeStart(r));
        if (set.getRangeEnd(r) != set.getRangeStart(r))
            out += u'-' + escaped(set.getRangeEnd(r));
    }
    return out;
}

} // namespace

const QString& pseudonymPattern() {
    static const QString pattern = [] {
        const Icu& data = icu();
        // v-flag classes; each unit is matched atomically, (?=(…))\1, as the grapheme rules
        // join greedily and to spare the browser any backtracking.
        const QString marks = "[\\p{M}--[" + classItems(data.marksNotJoining) + "]]";
        const QString joining = "[" + marks + classItems(data.lettersJoining) + "]";
        const QString base =
            "[^" + marks + classItems(data.lettersJoining) + classItems(data.consonants) + "]";
        const QString virama = "[" + classItems(data.viramas) + "]";
        const QString consonant = "[" + classItems(data.consonants) + "]";
        const QString unit = "(?=(" + consonant + "(?:[" + joining + "--" + virama + "]*" + virama +
                             joining + "*" + consonant + ")*" + joining + "*|" + base + joining +
                             "*))\\1";
        return QStringLiteral("\\s*(?:%1){1,%2}\\s*").arg(unit).arg(kMaxPseudonymLength);
    }();
    return pattern;
}

QString pseudonymKeyVersion() {
    UVersionInfo unicode;
    u_getUnicodeVersion(unicode);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(unicode, text);
    return QStringLiteral("skeleton-nfkc-cf/unicode-%1").arg(QLatin1String(text));
}

} // namespace ranking
