// Chiffre and the code page it reads character codes through.
#include "engine/cp1252.h"
#include "engine/substitution.h"

#include <QTest>

namespace {

constexpr engine::SubstEntry kEntries[] = {
    {u'#', u'A'}, {u'E', u'K'}, {u'e', u'k'}, {u'\u00C9', u'M'}, {u'\u00E9', u'm'}, {u' ', u'Q'},
};
constexpr engine::SubstTableData kTables[] = {{1, 1, kEntries}, {22, 3, kEntries}};

} // namespace

class TestSubstitution : public QObject {
    Q_OBJECT
    engine::TableSet tables_{kTables};

private slots:
    void chiffre_data() {
        QTest::addColumn<int>("question");
        QTest::addColumn<int>("variant");
        QTest::addColumn<QString>("character");
        QTest::addColumn<QString>("result");
        QTest::newRow("empty") << 1 << 1 << QString() << QString();
        QTest::newRow("empty, question 0") << 0 << 1 << QString() << QString();
        QTest::newRow("empty, no table") << 1 << 2 << QString() << QString();
        QTest::newRow("question 0") << 0 << 1 << QStringLiteral("E") << QStringLiteral("#");
        QTest::newRow("question 31") << 31 << 1 << QStringLiteral("E") << QStringLiteral("#");
        QTest::newRow("variant 2 of 1") << 1 << 2 << QStringLiteral("E") << QStringLiteral("#");
        QTest::newRow("variant 0") << 1 << 0 << QStringLiteral("E") << QStringLiteral("#");
        QTest::newRow("variant 4") << 22 << 4 << QStringLiteral("E") << QStringLiteral("#");
        QTest::newRow("two held") << 1 << 1 << QStringLiteral("EE") << QStringLiteral("#");
        QTest::newRow("capital") << 1 << 1 << QStringLiteral("E") << QStringLiteral("K");
        QTest::newRow("small") << 1 << 1 << QStringLiteral("e") << QStringLiteral("k");
        QTest::newRow("accented") << 1 << 1 << QStringLiteral("É") << QStringLiteral("M");
        QTest::newRow("small accented") << 1 << 1 << QStringLiteral("é") << QStringLiteral("m");
        QTest::newRow("hash") << 1 << 1 << QStringLiteral("#") << QStringLiteral("A");
        QTest::newRow("space") << 22 << 3 << QStringLiteral(" ") << QStringLiteral("Q");
        QTest::newRow("absent") << 1 << 1 << QStringLiteral("X") << QStringLiteral("#");
        QTest::newRow("beyond Latin-1") << 1 << 1 << QStringLiteral("€") << QStringLiteral("#");
    }
    void chiffre() {
        QFETCH(int, question);
        QFETCH(int, variant);
        QFETCH(QString, character);
        QFETCH(QString, result);
        QCOMPARE(engine::Chiffre(tables_, question, variant, character), result);
    }

    void reverseSearchesFindTheLowestCode() {
        QCOMPARE(tables_.lowestPlainCode(1, 1, u'M'), 0xC9);
        QCOMPARE(tables_.lowestPlainCode(1, 1, u'k'), int('e'));
        QCOMPARE(tables_.lowestPlainCode(1, 1, u'Z'), -1);
        // Every character the table lacks yields '#'; the space is the lowest of them.
        QCOMPARE(tables_.lowestPlainCode(1, 1, u'#'), int('!'));
        QCOMPARE(tables_.lowestPlainCode(2, 1, u'#'), int(' '));
        QCOMPARE(tables_.lowestCodeCharacter(1, u'K'), int('E'));
        QCOMPARE(tables_.lowestCodeCharacter(1, u'Q'), -1); // the space is below 48
        QCOMPARE(tables_.lowestCodeCharacter(1, u'M'), -1); // É is above 90
        QCOMPARE(tables_.lowestCodeCharacter(1, u'#'), int('0'));
    }

    void codePageRoundTrip() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = cp1252::toUnicode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(cp1252::fromUnicode(text), all);
        for (int b = 0; b < 256; ++b)
            QCOMPARE(cp1252::code(text[b]), b);
        QCOMPARE(text[0x80], QChar(u'€'));
        QCOMPARE(text[0x9F], QChar(u'Ÿ'));
        QCOMPARE(text[0xE9], QChar(u'é'));
        for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            QCOMPARE(text[b].unicode(), char16_t(b));
    }

    void charactersOutsideThePage() {
        QCOMPARE(cp1252::code(QChar(u'\u0100')), -1);
        QCOMPARE(cp1252::codeOr63(QChar(u'\u0100')), 63);
        QCOMPARE(cp1252::code(QChar(u'\u0080')), -1); // a C1 control the page replaces by €
        QCOMPARE(cp1252::fromUnicode(u"a\u4E2Db"), QByteArray("a?b"));
    }
};

QTEST_APPLESS_MAIN(TestSubstitution)
#include "tst_substitution.moc"
