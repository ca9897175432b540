// The built edition: every accepted form checks as "Correct", the tables keep their rules,
// the codes decode, and the records are packed as the unpacking expects.
#include "edition_forms.h"

#include "data/edition.h"
#include "engine/check.h"
#include "engine/cp1252.h"

#include <QRegularExpression>
#include <QSet>

#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

bool isAccentedCapital(char16_t c) {
    return c == 0xC8 || c == 0xC9 || c == 0xCF || c == 0xDB;
}
bool isCapital(char16_t c) {
    return (c >= u'A' && c <= u'Z') || isAccentedCapital(c);
}
bool isSmall(char16_t c) {
    return c >= 0x61 && isCapital(char16_t(c - 32));
}
bool isOther(char16_t c) {
    return c == u'#' || c == u' ' || c == u'\'' || c == u',' || c == u'-' ||
           (c >= u'0' && c <= u'9');
}

QString mixedCase(const QString& s) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i)
        out.append(i % 2 ? s[i].toLower() : s[i].toUpper());
    return out;
}

} // namespace

class TestEdition : public QObject {
    Q_OBJECT
    author::Edition authored_ = authoredEdition();
    engine::AnswerTables answers_ = engine::unpackRecords(edition::packedCaptions());
    const engine::TableSet& tables_ = edition::tables();

private slots:
    void names() {
        QCOMPARE(edition::title(), u"Dorlo Zidoduder 04"_qs);
        QCOMPARE(edition::siteName(), u"www.dorlos.example"_qs);
        QCOMPARE(edition::siteAddress(), u"https://www.dorlos.example/"_qs);
    }

    void everyFormIsCorrect_data() {
        QTest::addColumn<int>("question");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        for (int q = 1; q <= engine::kQuestions; ++q) {
            const QStringList& forms = authored_.forms[q];
            for (int v = 0; v < forms.size(); ++v) {
                const QString& f = forms[v];
                const QByteArray row = QByteArray::number(q) + "." + QByteArray::number(v + 1);
                QTest::newRow(row + " as is") << q << f << forms[0];
                QTest::newRow(row + " upper") << q << f.toUpper() << forms[0];
                QTest::newRow(row + " lower") << q << f.toLower() << forms[0];
                QTest::newRow(row + " mixed") << q << mixedCase(f) << forms[0];
                QTest::newRow(row + " spaced") << q << "  " + f + "   " << forms[0];
            }
        }
    }
    void everyFormIsCorrect() {
        QFETCH(int, question);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        const engine::CheckResult r =
            engine::checkAnswer(tables_, answers_.reponses, question, typed);
        QCOMPARE(r.caption, u"Correct"_qs);
        QCOMPARE(r.plain, shown);
        QVERIFY(!r.setInvalide);
    }

    void variantsComeFromTheRightRecords() {
        for (int q = 1; q <= engine::kQuestions; ++q) {
            for (int v = 1; v <= engine::kVariants; ++v) {
                const bool authoredForm = v <= authored_.forms[q].size();
                QCOMPARE(tables_.hasTable(q, v), authoredForm);
                QCOMPARE(answers_.reponses.length(v, q),
                         authoredForm ? int(authored_.forms[q][v - 1].size()) : 0);
            }
            QCOMPARE(answers_.codes[q].size(), 12);
        }
    }

    void exactlyOneSlotHoldsNoRecord() {
        const auto captions = edition::packedCaptions();
        int empty = 0;
        for (int slot = 0; slot < engine::kRecordSlots; ++slot) {
            std::array<QString, engine::kRecordSlots> one;
            one[slot] = captions[slot];
            const engine::AnswerTables t = engine::unpackRecords(one);
            int stored = 0;
            for (int q = 1; q <= engine::kQuestions; ++q)
                stored += t.reponses.length(1, q);
            empty += stored == 0;
            for (QChar ch : captions[slot]) {
                QVERIFY(cp1252::code(ch) > 32);
                QVERIFY(ch.isPrint());
            }
        }
        QCOMPARE(empty, 1);
    }

    void tablesKeepTheirRules() {
        const auto data = edition::tableData();
        QCOMPARE(data.size(), std::size_t(33));
        for (const engine::SubstTableData& t : data) {
            const QByteArray name =
                "table " + QByteArray::number(t.question) + "/" + QByteArray::number(t.variant);
            QVERIFY2(t.entries.size() >= 45 && t.entries.size() <= 50, name);
            std::map<char16_t, char16_t> map;
            for (const engine::SubstEntry& e : t.entries) {
                QVERIFY2(map.emplace(e.in, e.out).second, name + " repeats an input");
                QVERIFY2(isCapital(e.in) || isSmall(e.in) || isOther(e.in), name);
            }
            QVERIFY2(map.count(u'#'), name);
            int letters = 0, accented = 0;
            QSet<char16_t> codeLetters;
            int classes = 0;
            for (const auto& [in, out] : map) {
                if (isSmall(in)) {
                    QVERIFY2(map.count(char16_t(in - 32)), name + " small without capital");
                    QVERIFY2(out == map[char16_t(in - 32)] + 32, name);
                    continue;
                }
                QVERIFY2(out >= u'A' && out <= u'Z', name);
                codeLetters.insert(out);
                ++classes;
                if (isCapital(in)) {
                    QVERIFY2(map.count(char16_t(in + 32)), name + " capital without small");
                    ++(isAccentedCapital(in) ? accented : letters);
                }
            }
            QVERIFY2(letters >= 19 && letters <= 24, name);
            QVERIFY2(accented <= 2, name);
            QVERIFY2(classes == 26, name);
            QVERIFY2(codeLetters.size() == 26, name + " is not one-to-one onto A-Z");
            // Every character of the table's form is held, and never as the terminator.
            for (QChar ch : authored_.forms[t.question][t.variant - 1]) {
                QVERIFY2(map.count(ch.unicode()), name);
                QVERIFY2(map[ch.unicode()] != u'D', name + " encodes to the terminator");
            }
        }
    }

    void storedCodesDecode() {
        for (int n = 1; n <= engine::kQuestions; ++n) {
            for (QChar c : answers_.codes[n]) {
                const int x = tables_.lowestCodeCharacter(n, c.unicode());
                QVERIFY((x >= '0' && x <= '9') || (x >= 'A' && x <= 'Z'));
            }
            const std::array<QString, 31> none;
            for (bool invalide : {false, true}) {
                const engine::RankingCode code =
                    engine::rankingCode(tables_, answers_.codes, n, invalide, none);
                QCOMPARE(code.caption.size(), 6);
                // No look-alikes in any of the sixty, score 30's never shown half included.
                const QString stored = engine::storedCode(tables_, answers_.codes, n, invalide);
                QCOMPARE(stored.size(), 6);
                for (QChar c : u"0O1I2Z5S8B"_qs)
                    QVERIFY2(!stored.contains(c), qPrintable(QString::number(n) + ": " + stored));
            }
        }
    }

    void allThirtyFoundGiveAComputedCode() {
        std::array<QString, 31> boxes;
        int count = 0;
        for (int q = 1; q <= engine::kQuestions; ++q) {
            const auto r = engine::checkAnswer(tables_, answers_.reponses, q,
                                               authored_.forms[q].last().toLower());
            count += r.bold;
            boxes[q] = r.plain.value_or(r.trimmed);
        }
        QCOMPARE(count, 30);
        const auto code = engine::rankingCode(tables_, answers_.codes, count, false, boxes);
        QCOMPARE(code.caption.size(), 6);
        static const QRegularExpression sixDigits(u"^[0-9A-Z]{6}$"_qs);
        QVERIFY(sixDigits.match(code.caption).hasMatch());
        QVERIFY(code.caption !=
                engine::rankingCode(tables_, answers_.codes, 30, true, boxes).caption);
    }
};

QTEST_APPLESS_MAIN(TestEdition)
#include "tst_edition.moc"
