// The answer check and the ranking code, over hand-made tables and records.
#include "synthetic.h"

#include "engine/check.h"

#include <QTest>

using engine::Outcome;
using namespace Qt::Literals::StringLiterals;

namespace {

// 24 different letters: the synthetic table's letters without D and Z.
const QString kLetters = QStringLiteral("ABCEFGHIJKLMNOPQRSTUVWXY");

struct Fixture {
    synthetic::Tables tables;
    engine::AnswerTables answers;

    // Each question's forms: variant 1 first.
    explicit Fixture(const std::vector<std::pair<int, QStringList>>& forms,
                     const engine::Codes& codes = {}) {
        std::array<QString, engine::kRecordSlots> captions;
        int slot = engine::kRecordSlots - 1;
        for (const auto& [q, list] : forms) {
            for (int v = 0; v < list.size(); ++v) {
                const QString tail = v == 0 ? codes[q] : QString();
                captions[slot] = synthetic::pack(synthetic::recordText(q, list[v], tail));
                if (captions[slot--].isEmpty())
                    qFatal("no packing for a record of question %d", q);
            }
        }
        answers = engine::unpackRecords(captions);
    }
    engine::CheckResult check(int q, const QString& text) const {
        return engine::checkAnswer(tables.set, answers.reponses, q, text);
    }
};

} // namespace

class TestCheck : public QObject {
    Q_OBJECT
private slots:
    void closeness_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("closeness");
        QTest::addColumn<QString>("caption");
        const QString s23 = kLetters.left(23);
        const QString s29 = kLetters + kLetters.left(5); // repeats lie 24 apart
        QTest::newRow("16/23") << s23 << s23.left(16) + "1234567" << 70 << u"à peu près"_qs;
        QTest::newRow("26/29") << s29 << s29.left(26) + "123" << 90 << u"Quasiment"_qs;
        QTest::newRow("20/29") << s29 << s29.left(20) + "123456789" << 69 << u"Faux"_qs;
        QTest::newRow("5/8") << kLetters.left(8) << kLetters.left(5) + "123" << 62 << u"Faux"_qs;
        QTest::newRow("last of 10 missing")
            << kLetters.left(10) << kLetters.left(9) << 90 << u"Quasiment"_qs;
        QTest::newRow("last of 7 missing")
            << kLetters.left(7) << kLetters.left(6) << 86 << u"Presque"_qs;
        QTest::newRow("3 of 6") << kLetters.left(6) << kLetters.left(3) << 50 << u"Faux"_qs;
        QTest::newRow("3 and 5 more")
            << kLetters.left(3) << kLetters.left(3) + "12345" << 38 << u"Faux"_qs;
        QTest::newRow("swapped pair")
            << u"ABCEFGHIJK"_qs << u"ABCEFGHIKJ"_qs << 100 << u"Quasiment"_qs;
        QTest::newRow("displaced by two") << u"ABCEFG"_qs << u"BCAEFG"_qs << 100 << u"Quasiment"_qs;
        QTest::newRow("displaced by three") << u"ABCEFG"_qs << u"BCEAFG"_qs << 83 << u"Presque"_qs;
        QTest::newRow("outside the table") << u"ABC"_qs << u"A\u00C8C"_qs << 67 << u"Faux"_qs;
        QTest::newRow("accent differs") << u"\u00C9TE"_qs << u"ETE"_qs << 67 << u"Faux"_qs;
    }
    void closeness() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(int, closeness);
        QFETCH(QString, caption);
        // Stored text is the encoding; the synthetic table keeps letters as they are.
        QString encoded = stored;
        encoded.replace(u'\u00C9', u'Z');
        const Fixture f({{9, {encoded}}});
        const engine::CheckResult r = f.check(9, typed);
        QCOMPARE(r.closeness, closeness);
        QCOMPARE(r.caption, caption);
        QVERIFY(r.outcome != Outcome::Found);
        QCOMPARE(r.backColor, engine::kRed);
        QVERIFY(!r.bold);
        QVERIFY(!r.plain);
        QVERIFY(!r.setInvalide);
        QCOMPARE(r.trimmed, typed);
    }

    void foundIgnoresCaseAndSurroundingSpaces_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("as stored") << u"La Truite"_qs;
        QTest::newRow("upper") << u"LA TRUITE"_qs;
        QTest::newRow("lower") << u"la truite"_qs;
        QTest::newRow("mixed") << u"lA tRuItE"_qs;
        QTest::newRow("spaces around") << u"   la truite  "_qs;
    }
    void foundIgnoresCaseAndSurroundingSpaces() {
        QFETCH(QString, typed);
        const Fixture f({{5, {u"LadTruite"_qs}}}); // 'd' is the space's code
        const engine::CheckResult r = f.check(5, typed);
        QCOMPARE(r.outcome, Outcome::Found);
        QCOMPARE(r.caption, u"Correct"_qs);
        QCOMPARE(r.backColor, engine::kGreen);
        QVERIFY(r.bold);
        QCOMPARE(r.trimmed, typed.trimmed());
        QCOMPARE(r.plain, u"La Truite"_qs);
        QVERIFY(!r.setInvalide);
        QCOMPARE(r.closeness, 0);
    }

    void accentedLetterIsItsOwnClass() {
        const Fixture f({{1, {u"PourdZlise"_qs}}});
        QCOMPARE(f.check(1, u"pour élise"_qs).plain, u"Pour Élise"_qs);
        QCOMPARE(f.check(1, u"POUR ÉLISE"_qs).outcome, Outcome::Found);
        QVERIFY(f.check(1, u"Pour Elise"_qs).outcome != Outcome::Found);
    }

    void emptyText_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << u"     "_qs;
    }
    void emptyText() {
        QFETCH(QString, typed);
        const Fixture f({{2, {u"ABC"_qs}}});
        const engine::CheckResult r = f.check(2, typed);
        QCOMPARE(r.outcome, Outcome::Empty);
        QCOMPARE(r.caption, u"?"_qs);
        QCOMPARE(r.backColor, engine::kRed);
        QVERIFY(!r.bold);
        QCOMPARE(r.trimmed, QString());
    }

    void variantTwoShowsVariantOne() {
        const Fixture f({{22, {u"ORPHEE"_qs, u"CANCAN"_qs, u"GALOP"_qs}}});
        for (const QString& typed : {u"cancan"_qs, u"Galop"_qs, u"orphee"_qs}) {
            const engine::CheckResult r = f.check(22, typed);
            QCOMPARE(r.outcome, Outcome::Found);
            QCOMPARE(r.plain, u"ORPHEE"_qs);
            QVERIFY(!r.setInvalide);
        }
    }

    // The exact test looks at 30 positions only; the length then differs from the variant.
    void longTextOverThirtyCharacterVariant() {
        const QString thirty = kLetters + kLetters.left(6);
        const Fixture f({{30, {thirty}}});
        const engine::CheckResult r = f.check(30, thirty.toLower() + u"QRSTU"_qs);
        QCOMPARE(r.outcome, Outcome::Found);
        QCOMPARE(r.plain, thirty);
        QVERIFY(r.setInvalide);
        // Over a shorter variant the extra characters are compared and fail.
        const Fixture g({{30, {thirty.left(29)}}});
        QVERIFY(g.check(30, thirty.left(29) + u"K"_qs).outcome != Outcome::Found);
    }

    void noStoredAnswer() {
        const Fixture f({});
        for (int q : {0, 1, 30, 31, -5}) {
            const engine::CheckResult r = f.check(q, u"ABC"_qs);
            QCOMPARE(r.caption, u"Faux"_qs);
            QCOMPARE(r.closeness, 0);
        }
    }

    void rounding_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("rounded");
        QTest::newRow("0.5") << 0.5 << qint64(0);
        QTest::newRow("1.5") << 1.5 << qint64(2);
        QTest::newRow("62.5") << 62.5 << qint64(62);
        QTest::newRow("37.5") << 37.5 << qint64(38);
        QTest::newRow("69.57") << 100.0 * 16 / 23 << qint64(70);
        QTest::newRow("-2.5") << -2.5 << qint64(-2);
        QTest::newRow("8.5") << 8.5 << qint64(8);
    }
    void rounding() {
        QFETCH(double, value);
        QFETCH(qint64, rounded);
        QCOMPARE(engine::roundHalfEven(value), rounded);
    }

    void digitRoutine_data() {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("code");
        QTest::newRow("1234") << qint64(1234) << u"S6GQ10"_qs;
        QTest::newRow("11") << qint64(11) << u"KI8000"_qs;
        QTest::newRow("0") << qint64(0) << u"000000"_qs;
        // 2,147,484 * 1000 no longer fits 32 bits; the 64-bit total goes on.
        QTest::newRow("past 32 bits") << qint64(2147484) << u"C91KJ0"_qs;
    }
    void digitRoutine() {
        QFETCH(qint64, total);
        QFETCH(QString, code);
        QCOMPARE(engine::digitCode(total), code);
    }

    void rankingCode() {
        engine::Codes codes;
        codes[7] = u"ABCEFGHIJKLM"_qs;
        codes[29] = u"NOPQRSTUVWXY"_qs;
        codes[30] = u"YXWVUTSRQPON"_qs;
        codes[3] = u"aBCEF"_qs; // a small letter no code 48..90 yields; a short field
        const Fixture f(
            {{7, {u"SEPT"_qs}}, {29, {u"NEUF"_qs}}, {30, {u"TRENTE"_qs}}, {3, {u"TROIS"_qs}}},
            codes);
        QCOMPARE(f.answers.codes[7], codes[7]);
        std::array<QString, 31> boxes;
        boxes[1] = u"\u20AC"_qs; // code 128 in the page, not its Unicode value
        boxes[2] = u"AB"_qs;
        const auto code = [&](int count, bool invalide) {
            return engine::rankingCode(f.tables.set, f.answers.codes, count, invalide, boxes);
        };

        QCOMPARE(code(0, false).caption, u"- - - - - -"_qs);
        QVERIFY(!code(0, true).tag);
        QCOMPARE(code(7, false).caption, u"ABCEFG"_qs);
        QCOMPARE(code(7, false).tag, u"ABCEFG"_qs);
        QCOMPARE(code(7, true).caption, u"HIJKLM"_qs);
        QCOMPARE(code(29, false).caption, u"NOPQRS"_qs);
        QCOMPARE(code(30, true).caption, u"SRQPON"_qs);
        QCOMPARE(code(30, false).caption, engine::digitCode(128 + 65 + 66));
        QCOMPARE(code(30, false).tag, engine::digitCode(128 + 65 + 66));
        QCOMPARE(code(3, false).caption, u"BCEF"_qs);
        QCOMPARE(code(3, true).caption, QString());
    }
};

QTEST_APPLESS_MAIN(TestCheck)
#include "tst_check.moc"
