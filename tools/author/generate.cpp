// Making an edition's tables, ranking codes and packed records from its Edition.
#include "authoring.h"
#include "table_characters.h"

#include "engine/check.h"
#include "engine/cp1252.h"

#include <QSet>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace author {
namespace {

using namespace detail;

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

using TableIndex = std::map<std::pair<int, int>, int>; // (question, variant) to data.tables

// One table per form, question by question.
bool makeTables(Rng& rng, const Edition& edition, Generated& data, TableIndex& tableIndex,
                QString* error) {
    for (int q = 1; q <= engine::kQuestions; ++q) {
        const QStringList& forms = edition.forms[q];
        if (forms.isEmpty() || forms.size() > kMaxForms) {
            fail(error, QStringLiteral("question %1 needs 1 to %2 forms").arg(q).arg(kMaxForms));
            return false;
        }
        for (int v = 1; v <= forms.size(); ++v) {
            if (forms[v - 1].isEmpty() || forms[v - 1].size() > kMaxAnswerLength) {
                fail(error, QStringLiteral("question %1: \"%2\" needs 1 to %3 characters")
                                .arg(q)
                                .arg(forms[v - 1])
                                .arg(kMaxAnswerLength));
                return false;
            }
            const QString codes = v == 1 && edition.hasCodes()
                                      ? edition.eligible[q] + edition.notEligible[q]
                                      : QString();
            std::optional<Table> table = makeTable(rng, q, v, forms[v - 1], codes, error);
            if (!table)
                return false;
            tableIndex[{q, v}] = int(data.tables.size());
            data.tables.push_back(std::move(*table));
        }
    }
    return true;
}

// Ranking codes: the author's, or digits and capitals the score's variant-1 table accepts,
// look-alikes left out, all distinct.
void pickCodes(Rng& rng, const Edition& edition, Generated& data, const TableIndex& tableIndex) {
    QSet<QString> used;
    auto pickCode = [&](const Table& table) {
        std::vector<char16_t> accepted;
        for (const engine::SubstEntry& e : table.entries) {
            if (isCodeCharacter(QChar(e.in)) && !isLookAlike(QChar(e.in)))
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
        const Table& table = data.tables[tableIndex.at({n, 1})];
        data.eligible[n] = edition.hasCodes() ? edition.eligible[n] : pickCode(table);
        data.notEligible[n] = edition.hasCodes() ? edition.notEligible[n] : pickCode(table);
    }
}

struct Record {
    int question; // 0 for the slot that holds no record
    int variant;
    QString caption;
};

// One packed record per form, its answer encoded through its own table, the codes after
// variant 1's; then the filler of the slot left over.
std::optional<std::vector<Record>> packRecords(Rng& rng, const Edition& edition,
                                               const Generated& data, const TableIndex& tableIndex,
                                               QString* error) {
    std::vector<Record> records;
    for (int q = 1; q <= engine::kQuestions; ++q) {
        for (int v = 1; v <= edition.forms[q].size(); ++v) {
            const Table& table = data.tables[tableIndex.at({q, v})];
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
    return records;
}

// Shuffled into the slots, then each question's records reordered among the slots it got
// so that variant 1 lies in the highest: the unpacking takes slot 33 first.
void placeRecords(Rng& rng, const std::vector<Record>& records, Generated& data) {
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
}

} // namespace

std::optional<Generated> generate(const Edition& edition, QString* error) {
    Rng rng(edition.seed);
    Generated data;
    TableIndex tableIndex;
    if (!makeTables(rng, edition, data, tableIndex, error))
        return std::nullopt;
    pickCodes(rng, edition, data, tableIndex);
    const std::optional<std::vector<Record>> records =
        packRecords(rng, edition, data, tableIndex, error);
    if (!records)
        return std::nullopt;
    placeRecords(rng, *records, data);
    if (!selfCheck(edition, data, error))
        return std::nullopt;
    return data;
}

} // namespace author
