// Reading the authoring file into an Edition.
#include "authoring.h"
#include "table_characters.h"

#include <QSet>

#include <algorithm>
#include <map>

namespace author {
namespace {

using namespace detail;

// FNV-1a over the content, for a file that gives its codes and no seed.
std::uint64_t contentSeed(const Edition& e) {
    QStringList parts{e.title, e.siteName, e.siteAddress};
    for (int q = 1; q <= engine::kQuestions; ++q)
        parts << e.forms[q].join(u'/') << e.eligible[q] << e.notEligible[q];
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (char b : parts.join(u'\n').toUtf8()) {
        h ^= static_cast<unsigned char>(b);
        h *= 0x100000001B3ULL;
    }
    return h;
}

// What the lines read so far have given.
struct Reading {
    Edition edition;
    QSet<QString> seen;                                 // keys, numbers written canonically
    std::array<int, engine::kQuestions + 1> codeLine{}; // where each score's codes are
    std::map<QString, int> codeScore;                   // every code given, to its score
};

// "code-N = eligible / not eligible": two distinct codes of six digits or capitals, none of
// them a look-alike.
bool readCodes(Reading& r, const QString& key, int score, const QString& value, int lineNumber,
               const QString& where, QString* error) {
    const QStringList codes = value.split(u'/');
    if (codes.size() != 2) {
        fail(error, where + QStringLiteral("%1 needs two codes, eligible / not eligible").arg(key));
        return false;
    }
    for (int half = 0; half < 2; ++half) {
        const QString code = codes[half].trimmed();
        if (code.size() != 6 || !std::all_of(code.begin(), code.end(), isCodeCharacter)) {
            fail(error,
                 where + QStringLiteral("%1: \"%2\" is not six digits or capitals").arg(key, code));
            return false;
        }
        if (const auto lookAlike = std::find_if(code.begin(), code.end(), isLookAlike);
            lookAlike != code.end()) {
            fail(error, where + QStringLiteral("%1: \"%2\" holds '%3', a look-alike: codes leave "
                                               "out 0 O 1 I 2 Z 5 S 8 B")
                                    .arg(key, code, QString(*lookAlike)));
            return false;
        }
        if (const auto other = r.codeScore.find(code); other != r.codeScore.end()) {
            fail(error, where + QStringLiteral("%1: \"%2\" is already a code of score %3")
                                    .arg(key, code)
                                    .arg(other->second));
            return false;
        }
        r.codeScore[code] = score;
        (half == 0 ? r.edition.eligible : r.edition.notEligible)[score] = code;
    }
    r.codeLine[score] = lineNumber;
    return true;
}

// "N = form / form / form": up to three forms, each one a table can hold.
bool readForms(Edition& edition, int question, const QString& value, const QString& where,
               QString* error) {
    QStringList forms;
    for (const QString& part : value.split(u'/'))
        forms.append(part.trimmed());
    if (forms.size() > kMaxForms) {
        fail(error,
             where +
                 QStringLiteral("question %1 has more than %2 forms").arg(question).arg(kMaxForms));
        return false;
    }
    for (const QString& form : forms) {
        QString why;
        if (form.isEmpty())
            why = QStringLiteral("an empty form");
        else if (form.size() > kMaxAnswerLength)
            why = QStringLiteral("\"%1\" is longer than %2 characters")
                      .arg(form)
                      .arg(kMaxAnswerLength);
        else
            analyse(form, &why);
        if (!why.isEmpty()) {
            fail(error, where + QStringLiteral("question %1: %2").arg(question).arg(why));
            return false;
        }
    }
    edition.forms[question] = forms;
    return true;
}

// One "key = value" line; blank lines and comments pass.
bool readLine(Reading& r, const QString& text, int lineNumber, QString* error) {
    const QString line = text.trimmed();
    const QString where = QStringLiteral("line %1: ").arg(lineNumber);
    if (line.isEmpty() || line.startsWith(u'#'))
        return true;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
        fail(error, where + QStringLiteral("expected \"key = value\""));
        return false;
    }
    const QString key = line.left(eq).trimmed();
    const QString value = line.mid(eq + 1).trimmed();
    bool isNumber = false;
    const int question = key.toInt(&isNumber);
    bool isCode = false;
    const int score = key.startsWith(u"code-") ? key.mid(5).toInt(&isCode) : 0;
    const QString canonical = isNumber ? QString::number(question)
                              : isCode ? QStringLiteral("code-%1").arg(score)
                                       : key;
    if (r.seen.contains(canonical)) {
        fail(error, where + QStringLiteral("\"%1\" given twice").arg(key));
        return false;
    }
    r.seen.insert(canonical);
    if (value.isEmpty()) {
        fail(error, where + QStringLiteral("\"%1\" has no value").arg(key));
        return false;
    }
    Edition& edition = r.edition;
    if (key == u"title") {
        edition.title = value;
    } else if (key == u"site-name") {
        edition.siteName = value;
    } else if (key == u"site-address") {
        edition.siteAddress = value;
    } else if (key == u"seed") {
        bool ok = false;
        edition.seed = value.toULongLong(&ok, 0);
        if (!ok) {
            fail(error, where + QStringLiteral("the seed is not a number"));
            return false;
        }
    } else if (isCode && score >= 1 && score <= engine::kQuestions) {
        return readCodes(r, key, score, value, lineNumber, where, error);
    } else if (isNumber && question >= 1 && question <= engine::kQuestions) {
        return readForms(edition, question, value, where, error);
    } else {
        fail(error, where + QStringLiteral("unknown key \"%1\"").arg(key));
        return false;
    }
    return true;
}

// Every key and question given; the codes of all thirty scores or none, each score's
// accepted by its question's first table; a seed, or codes to derive one from.
bool readComplete(Reading& r, QString* error) {
    Edition& edition = r.edition;
    for (const char* key : {"title", "site-name", "site-address"}) {
        if (!r.seen.contains(QLatin1String(key))) {
            fail(error, QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
            return false;
        }
    }
    for (int q = 1; q <= engine::kQuestions; ++q) {
        if (edition.forms[q].isEmpty()) {
            fail(error, QStringLiteral("question %1 is missing").arg(q));
            return false;
        }
    }
    if (!r.codeScore.empty()) {
        for (int n = 1; n <= engine::kQuestions; ++n) {
            if (edition.eligible[n].isEmpty()) {
                fail(error, QStringLiteral("code-%1 is missing: give the codes of all thirty "
                                           "scores or none")
                                .arg(n));
                return false;
            }
            QString why;
            if (!analyseWithCodes(edition.forms[n].first(),
                                  edition.eligible[n] + edition.notEligible[n], &why)) {
                fail(error,
                     QStringLiteral("line %1: code-%2: %3").arg(r.codeLine[n]).arg(n).arg(why));
                return false;
            }
        }
    }
    if (!r.seen.contains(QStringLiteral("seed"))) {
        if (r.codeScore.empty()) {
            fail(error, QStringLiteral("\"seed\" is missing (or give code-1 to code-30)"));
            return false;
        }
        edition.seed = contentSeed(edition);
    }
    return true;
}

} // namespace

std::optional<Edition> parseEdition(const QString& text, QString* error) {
    Reading r;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i)
        if (!readLine(r, lines[i], i + 1, error))
            return std::nullopt;
    if (!readComplete(r, error))
        return std::nullopt;
    return r.edition;
}

} // namespace author
