#include "authoring.h"

#include "engine/check.h"
#include "engine/cp1252.h"

#include <QSet>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace author {
namespace {

constexpr int kMaxForms = 3;
constexpr int kMaxAnswerLength = 30;
constexpr int kMinLetters = 19;
constexpr int kMaxLetters = 24;
constexpr int kMaxAccented = 2;
constexpr int kClasses = 26;

// Deterministic everywhere: the standard distributions are not.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    template <typename T> void shuffle(std::vector<T>& v) {
        for (int i = static_cast<int>(v.size()) - 1; i > 0; --i)
            std::swap(v[i], v[below(i + 1)]);
    }

private:
    std::uint64_t state_;
};

bool isAccentedCapital(char16_t c) {
    return c == 0xC8 || c == 0xC9 || c == 0xCF || c == 0xDB;
}
bool isAccentedSmall(char16_t c) {
    return c == 0xE8 || c == 0xE9 || c == 0xEF || c == 0xFB;
}
bool isOther(char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u' ' || c == u'\'' || c == u',' || c == u'-';
}
bool isLetterClass(char16_t cls) {
    return (cls >= u'A' && cls <= u'Z') || isAccentedCapital(cls);
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

struct Need {
    std::set<char16_t> letters;  // A-Z
    std::set<char16_t> accented; // È É Ï Û
    std::set<char16_t> others;   // always holds '#'
};

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

// The codes of an author-given score must be accepted by the score's variant-1 table too.
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

bool isCodeCharacter(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z');
}

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

std::optional<Table> makeTable(Rng& rng, int question, int variant, const QString& form,
                               const QString& codes, QString* error) {
    QString why;
    const std::optional<Need> need = analyseWithCodes(form, codes, &why);
    if (!need) {
        fail(error, QStringLiteral("question %1: %2").arg(question).arg(why));
        return std::nullopt;
    }
    const int a = int(need->accented.size());
    const int low = std::max(kMinLetters, int(need->letters.size()));
    const int high = std::min(kMaxLetters - a, kClasses - a - int(need->others.size()));
    const int letterCount = low + rng.below(high - low + 1);

    std::vector<char16_t> classes;
    std::set<char16_t> answerClasses;
    for (const auto* set : {&need->letters, &need->accented, &need->others}) {
        for (char16_t c : *set) {
            classes.push_back(c);
            if (c != u'#')
                answerClasses.insert(c);
        }
    }
    std::vector<char16_t> pool;
    for (char16_t c = u'A'; c <= u'Z'; ++c) {
        if (!need->letters.count(c))
            pool.push_back(c);
    }
    rng.shuffle(pool);
    classes.insert(classes.end(), pool.begin(),
                   pool.begin() + (letterCount - int(need->letters.size())));
    pool.clear();
    for (char16_t c : u" 0123456789") {
        if (c && !need->others.count(c))
            pool.push_back(c);
    }
    rng.shuffle(pool);
    const int fillers = kClasses - letterCount - a - int(need->others.size());
    classes.insert(classes.end(), pool.begin(), pool.begin() + fillers);

    std::vector<char16_t> letters;
    for (char16_t c = u'A'; c <= u'Z'; ++c)
        letters.push_back(c);
    rng.shuffle(letters);
    // The terminator must never stand for a character of the answer.
    const auto d = std::find(letters.begin(), letters.end(), u'D') - letters.begin();
    if (answerClasses.count(classes[d])) {
        std::vector<int> free;
        for (int i = 0; i < kClasses; ++i) {
            if (!answerClasses.count(classes[i]))
                free.push_back(i);
        }
        std::swap(letters[d], letters[free[rng.below(int(free.size()))]]);
    }

    Table table{question, variant, {}};
    for (int i = 0; i < kClasses; ++i) {
        table.entries.push_back({classes[i], letters[i]});
        if (isLetterClass(classes[i]))
            table.entries.push_back({char16_t(classes[i] + 32), char16_t(letters[i] + 32)});
    }
    std::sort(table.entries.begin(), table.entries.end(),
              [](const engine::SubstEntry& x, const engine::SubstEntry& y) { return x.in < y.in; });
    return table;
}

QString encodeWith(const Table& table, const QString& text) {
    QString out;
    for (QChar ch : text) {
        for (const engine::SubstEntry& e : table.entries) {
            if (e.in == ch.unicode())
                out.append(QChar(e.out));
        }
    }
    return out;
}

// A character whose code gives `digit` through (code - 36) mod 10.
QChar digitCharacter(Rng& rng, int digit) {
    const int choices = (126 - 36 - digit) / 10 + 1;
    return QChar(char16_t(36 + digit + 10 * rng.below(choices)));
}

std::optional<QString> packWithVariation(Rng& rng, const std::function<QString()>& body) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        QString text = body();
        text = QString(rng.below(3), u' ') + text + QString(rng.below(3), u' ');
        const QString caption = engine::packRecord(text);
        if (!caption.isEmpty())
            return caption;
    }
    return std::nullopt;
}

bool selfCheck(const Edition& edition, const Generated& data, QString* error) {
    std::vector<engine::SubstTableData> views;
    for (const Table& t : data.tables)
        views.push_back({t.question, t.variant, t.entries});
    const engine::TableSet tables(views);
    std::array<QString, engine::kRecordSlots> captions;
    for (int s = 0; s < engine::kRecordSlots; ++s)
        captions[s] = cp1252::toUnicode(data.captions[s]);
    const engine::AnswerTables answers = engine::unpackRecords(captions);
    std::array<QString, engine::kQuestions + 1> boxes;
    for (int q = 1; q <= engine::kQuestions; ++q) {
        for (const QString& form : edition.forms[q]) {
            const engine::CheckResult r = engine::checkAnswer(tables, answers.reponses, q, form);
            if (r.outcome != engine::Outcome::Found || r.plain != edition.forms[q].first()) {
                fail(error, QStringLiteral("internal: \"%1\" does not check back").arg(form));
                return false;
            }
        }
        boxes[q] = edition.forms[q].first();
    }
    for (int n = 1; n <= engine::kQuestions; ++n) {
        const bool computed = n == engine::kQuestions;
        if ((!computed && engine::rankingCode(tables, answers.codes, n, false, boxes).caption !=
                              data.eligible[n]) ||
            engine::rankingCode(tables, answers.codes, n, true, boxes).caption !=
                data.notEligible[n]) {
            fail(error, QStringLiteral("internal: the code of score %1 does not decode").arg(n));
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<Edition> parseEdition(const QString& text, QString* error) {
    Edition edition;
    QSet<QString> seen;
    std::array<int, engine::kQuestions + 1> codeLine{};
    std::map<QString, int> codeScore;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const QString where = QStringLiteral("line %1: ").arg(i + 1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            fail(error, where + QStringLiteral("expected \"key = value\""));
            return std::nullopt;
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
        if (seen.contains(canonical)) {
            fail(error, where + QStringLiteral("\"%1\" given twice").arg(key));
            return std::nullopt;
        }
        seen.insert(canonical);
        if (value.isEmpty()) {
            fail(error, where + QStringLiteral("\"%1\" has no value").arg(key));
            return std::nullopt;
        }
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
                return std::nullopt;
            }
        } else if (isCode && score >= 1 && score <= engine::kQuestions) {
            const QStringList codes = value.split(u'/');
            if (codes.size() != 2) {
                fail(error,
                     where +
                         QStringLiteral("%1 needs two codes, eligible / not eligible").arg(key));
                return std::nullopt;
            }
            for (int half = 0; half < 2; ++half) {
                const QString code = codes[half].trimmed();
                if (code.size() != 6 || !std::all_of(code.begin(), code.end(), isCodeCharacter)) {
                    fail(error, where + QStringLiteral("%1: \"%2\" is not six digits or capitals")
                                            .arg(key, code));
                    return std::nullopt;
                }
                if (const auto other = codeScore.find(code); other != codeScore.end()) {
                    fail(error, where + QStringLiteral("%1: \"%2\" is already a code of score %3")
                                            .arg(key, code)
                                            .arg(other->second));
                    return std::nullopt;
                }
                codeScore[code] = score;
                (half == 0 ? edition.eligible : edition.notEligible)[score] = code;
            }
            codeLine[score] = i + 1;
        } else if (isNumber && question >= 1 && question <= engine::kQuestions) {
            QStringList forms;
            for (const QString& part : value.split(u'/'))
                forms.append(part.trimmed());
            if (forms.size() > kMaxForms) {
                fail(error, where + QStringLiteral("question %1 has more than %2 forms")
                                        .arg(question)
                                        .arg(kMaxForms));
                return std::nullopt;
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
                    return std::nullopt;
                }
            }
            edition.forms[question] = forms;
        } else {
            fail(error, where + QStringLiteral("unknown key \"%1\"").arg(key));
            return std::nullopt;
        }
    }
    for (const char* key : {"title", "site-name", "site-address"}) {
        if (!seen.contains(QLatin1String(key))) {
            fail(error, QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
            return std::nullopt;
        }
    }
    for (int q = 1; q <= engine::kQuestions; ++q) {
        if (edition.forms[q].isEmpty()) {
            fail(error, QStringLiteral("question %1 is missing").arg(q));
            return std::nullopt;
        }
    }
    if (!codeScore.empty()) {
        for (int n = 1; n <= engine::kQuestions; ++n) {
            if (edition.eligible[n].isEmpty()) {
                fail(error, QStringLiteral("code-%1 is missing: give the codes of all thirty "
                                           "scores or none")
                                .arg(n));
                return std::nullopt;
            }
            QString why;
            if (!analyseWithCodes(edition.forms[n].first(),
                                  edition.eligible[n] + edition.notEligible[n], &why)) {
                fail(error,
                     QStringLiteral("line %1: code-%2: %3").arg(codeLine[n]).arg(n).arg(why));
                return std::nullopt;
            }
        }
    }
    if (!seen.contains(QStringLiteral("seed"))) {
        if (codeScore.empty()) {
            fail(error, QStringLiteral("\"seed\" is missing (or give code-1 to code-30)"));
            return std::nullopt;
        }
        edition.seed = contentSeed(edition);
    }
    return edition;
}

std::optional<Generated> generate(const Edition& edition, QString* error) {
    Rng rng(edition.seed);
    Generated data;
    std::map<std::pair<int, int>, int> tableIndex;
    for (int q = 1; q <= engine::kQuestions; ++q) {
        const QStringList& forms = edition.forms[q];
        if (forms.isEmpty() || forms.size() > kMaxForms) {
            fail(error, QStringLiteral("question %1 needs 1 to %2 forms").arg(q).arg(kMaxForms));
            return std::nullopt;
        }
        for (int v = 1; v <= forms.size(); ++v) {
            if (forms[v - 1].isEmpty() || forms[v - 1].size() > kMaxAnswerLength) {
                fail(error, QStringLiteral("question %1: \"%2\" needs 1 to %3 characters")
                                .arg(q)
                                .arg(forms[v - 1])
                                .arg(kMaxAnswerLength));
                return std::nullopt;
            }
            const QString codes = v == 1 && edition.hasCodes()
                                      ? edition.eligible[q] + edition.notEligible[q]
                                      : QString();
            std::optional<Table> table = makeTable(rng, q, v, forms[v - 1], codes, error);
            if (!table)
                return std::nullopt;
            tableIndex[{q, v}] = int(data.tables.size());
            data.tables.push_back(std::move(*table));
        }
    }

    // Ranking codes: digits and capitals the score's variant-1 table accepts, all distinct.
    QSet<QString> used;
    auto pickCode = [&](const Table& table) {
        std::vector<char16_t> accepted;
        for (const engine::SubstEntry& e : table.entries) {
            if ((e.in >= u'0' && e.in <= u'9') || (e.in >= u'A' && e.in <= u'Z'))
                accepted.push_back(e.in);
        }
        QString code;
        do {
            code.clear();
            for (int i = 0; i < 6; ++i)
                code.append(QChar(accepted[rng.below(int(accepted.size()))]));
        } while (used.contains(code));
        used.insert(code);
        return code;
    };
    for (int n = 1; n <= engine::kQuestions; ++n) {
        const Table& table = data.tables[tableIndex[{n, 1}]];
        data.eligible[n] = edition.hasCodes() ? edition.eligible[n] : pickCode(table);
        data.notEligible[n] = edition.hasCodes() ? edition.notEligible[n] : pickCode(table);
    }

    // Records, variant 1 in the higher slot of its question; one slot holds no record.
    struct Record {
        int question;
        int variant;
        QString caption;
    };
    std::vector<Record> records;
    for (int q = 1; q <= engine::kQuestions; ++q) {
        for (int v = 1; v <= edition.forms[q].size(); ++v) {
            const Table& table = data.tables[tableIndex[{q, v}]];
            const QString answer = encodeWith(table, edition.forms[q][v - 1]);
            const QString tail = v == 1 ? encodeWith(table, data.eligible[q]) +
                                              encodeWith(table, data.notEligible[q])
                                        : QString();
            auto body = [&] {
                QString text = QString(digitCharacter(rng, q % 10)) + digitCharacter(rng, q / 10) +
                               answer + u'D';
                if (!tail.isEmpty()) {
                    text += tail;
                } else {
                    for (int i = 0; i < 12; ++i) // ignored, but records look alike
                        text.append(QChar(char16_t(u'A' + rng.below(26))));
                }
                return text;
            };
            const std::optional<QString> caption = packWithVariation(rng, body);
            if (!caption) {
                fail(error, QStringLiteral("question %1: no printable packing found").arg(q));
                return std::nullopt;
            }
            records.push_back({q, v, *caption});
        }
    }
    const std::optional<QString> junk = packWithVariation(rng, [&] {
        QString text;
        const int length = 56 + rng.below(8);
        for (int i = 0; i < length; ++i)
            text.append(QChar(char16_t(33 + rng.below(94))));
        return text;
    });
    if (!junk) {
        fail(error, QStringLiteral("no printable packing found for the empty slot"));
        return std::nullopt;
    }
    records.push_back({0, 0, *junk});
    if (records.size() != std::size_t(engine::kRecordSlots)) {
        fail(error, QStringLiteral("%1 forms in all; the record placement hold exactly %2")
                        .arg(records.size() - 1)
                        .arg(engine::kRecordSlots - 1));
        return std::nullopt;
    }

    std::vector<int> placement;
    for (int s = 0; s < engine::kRecordSlots; ++s)
        placement.push_back(s);
    rng.shuffle(placement);
    for (int q = 1; q <= engine::kQuestions; ++q) {
        std::vector<std::size_t> mine;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].question == q)
                mine.push_back(i);
        }
        std::vector<int> taken;
        for (std::size_t i : mine)
            taken.push_back(placement[i]);
        std::sort(taken.rbegin(), taken.rend()); // processed from slot 33 down
        for (std::size_t j = 0; j < mine.size(); ++j)
            placement[mine[j]] = taken[records[mine[j]].variant - 1];
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        data.captions[placement[i]] = cp1252::fromUnicode(records[i].caption);

    if (!selfCheck(edition, data, error))
        return std::nullopt;
    return data;
}

namespace {

QByteArray cString(const QString& text) {
    QByteArray out = "\"";
    for (unsigned char b : text.toUtf8()) {
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\' && b != '?')
            out.append(char(b));
        else
            out.append(QStringLiteral("\\%1").arg(b, 3, 8, QLatin1Char('0')).toLatin1());
    }
    return out + "\"";
}

QByteArray hex(unsigned value, int width) {
    return "0x" + QByteArray::number(value, 16).rightJustified(width, '0').toUpper();
}

} // namespace

QByteArray writeSource(const Edition& edition, const Generated& data) {
    QByteArray s;
    s += "// Generated by dorlo-author from the authoring file. Do not edit.\n"
         "#include \"data/edition.h\"\n\n#include \"engine/cp1252.h\"\n\n"
         "namespace edition {\nnamespace {\n\n";
    for (const Table& t : data.tables) {
        s += "constexpr engine::SubstEntry kTable" + QByteArray::number(t.question) + "_" +
             QByteArray::number(t.variant) + "[] = {\n";
        for (std::size_t i = 0; i < t.entries.size(); ++i) {
            s += (i % 5 == 0) ? "    " : " ";
            s += "{" + hex(t.entries[i].in, 4) + ", " + hex(t.entries[i].out, 4) + "},";
            if (i % 5 == 4 || i + 1 == t.entries.size())
                s += "\n";
        }
        s += "};\n";
    }
    s += "\nconstexpr engine::SubstTableData kTables[] = {\n";
    for (const Table& t : data.tables) {
        const QByteArray q = QByteArray::number(t.question);
        const QByteArray v = QByteArray::number(t.variant);
        s += "    {" + q + ", " + v + ", kTable" + q + "_" + v + "},\n";
    }
    s += "};\n\n";
    for (int slot = 0; slot < engine::kRecordSlots; ++slot) {
        const QByteArray& bytes = data.captions[slot];
        s += "constexpr unsigned char kRecord" + QByteArray::number(slot) + "[] = {\n";
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            s += (i % 12 == 0) ? "    " : " ";
            s += hex(static_cast<unsigned char>(bytes[i]), 2) + ",";
            if (i % 12 == 11 || i + 1 == bytes.size())
                s += "\n";
        }
        s += "};\n";
    }
    s += "\nQString record(const unsigned char* bytes, qsizetype size) {\n"
         "    return cp1252::toUnicode(QByteArrayView(bytes, size));\n}\n\n"
         "} // namespace\n\n";
    s += "QString title() { return QString::fromUtf8(" + cString(edition.title) + "); }\n";
    s += "QString siteName() { return QString::fromUtf8(" + cString(edition.siteName) + "); }\n";
    s += "QString siteAddress() { return QString::fromUtf8(" + cString(edition.siteAddress) +
         "); }\n\n";
    s += "std::array<QString, engine::kRecordSlots> packedCaptions() {\n    return {\n";
    for (int slot = 0; slot < engine::kRecordSlots; ++slot) {
        const QByteArray n = QByteArray::number(slot);
        s += "        record(kRecord" + n + ", sizeof kRecord" + n + "),\n";
    }
    s += "    };\n}\n\n"
         "std::span<const engine::SubstTableData> tableData() { return kTables; }\n\n"
         "const engine::TableSet& tables() {\n"
         "    static const engine::TableSet set(kTables);\n    return set;\n}\n\n"
         "} // namespace edition\n";
    return s;
}

} // namespace author
