// The saved-answers format, byte for byte.
#include "window/saved_answers.h"

#include <QtTest>

using window::formatSavedAnswers;
using window::parseSavedAnswers;

namespace {

std::array<QString, 31> texts(std::initializer_list<std::pair<int, QString>> items) {
    std::array<QString, 31> t;
    for (const auto& [n, s] : items)
        t[n] = s;
    return t;
}

QByteArray lines(const QList<QByteArray>& ls, const QByteArray& end = "\r\n") {
    QByteArray out;
    for (const auto& l : ls)
        out += l + end;
    return out;
}

} // namespace

class TestSavedAnswers : public QObject {
    Q_OBJECT
private slots:
    void formatsThirtyLinesWithBarePrefixes() {
        const QByteArray bytes =
            formatSavedAnswers(texts({{7, QStringLiteral("Pour Élise")}}), false);
        const QList<QByteArray> ls = bytes.split('\n');
        QCOMPARE(ls.size(), 31); // 30 lines and what follows the last LF
        QVERIFY(ls.last().isEmpty());
        QCOMPARE(ls[0], QByteArray(" 1:\r"));
        QCOMPARE(ls[6], QByteArray(" 7:Pour \xC9lise\r"));
        QCOMPARE(ls[8], QByteArray(" 9:\r"));
        QCOMPARE(ls[9], QByteArray("10:\r"));
        QCOMPARE(ls[29], QByteArray("30:\r"));
        QVERIFY(!bytes.contains('\xA0'));
    }

    void marksLinesOneToNineOnly() {
        const QByteArray bytes = formatSavedAnswers(texts({{12, QStringLiteral("x")}}), true);
        const QList<QByteArray> ls = bytes.split('\n');
        for (int n = 1; n <= 9; ++n)
            QCOMPARE(ls[n - 1], QByteArray("\xA0") + QByteArray::number(n) + ":\r");
        QCOMPARE(ls[11], QByteArray("12:x\r"));
        QCOMPARE(bytes.count('\xA0'), 9);
        QVERIFY(parseSavedAnswers(bytes).invalide);
        QVERIFY(!parseSavedAnswers(formatSavedAnswers(texts({{1, "a"}}), false)).invalide);
    }

    void keepsBlanksAndReplacesLineBreaks() {
        const QByteArray bytes =
            formatSavedAnswers(texts({{1, QStringLiteral("  La Truite ")}, {2, "a\nb\rc"}}), false);
        QVERIFY(bytes.startsWith(" 1:  La Truite \r\n 2:a b c\r\n 3:\r\n"));
        const auto back = parseSavedAnswers(bytes);
        QCOMPARE(back.answers[1], QStringLiteral("  La Truite "));
        QCOMPARE(back.answers[3], QString());
    }

    void roundTrips() {
        std::array<QString, 31> t;
        for (int n = 1; n <= 30; ++n)
            t[n] = QStringLiteral("réponse ") + QString::number(n) + QStringLiteral(" œ");
        const auto back = parseSavedAnswers(formatSavedAnswers(t, true));
        QVERIFY(back.invalide);
        for (int n = 1; n <= 30; ++n)
            QCOMPARE(back.answers[n], t[n]);
    }

    void reads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("question");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("invalide");
        const QByteArray five = lines({" 1:a", " 2:b", " 3:c", " 4:d", "17:Mozart", " 6:f"});
        QTest::newRow("5th line whatever its prefix") << five << 5 << "Mozart" << false;
        QTest::newRow("bare prefix") << lines({" 1:a", "12:"}) << 2 << "" << false;
        QTest::newRow("2-character line") << lines({" 1:a", "12"}) << 2 << "" << false;
        QTest::newRow("3 lines, 4th missing")
            << lines({" 1:a", " 2:b", " 3:c"}) << 4 << "" << false;
        QTest::newRow("3 lines, 3rd read") << lines({" 1:a", " 2:b", " 3:c"}) << 3 << "c" << false;
        QTest::newRow("bare LF") << lines({" 1:a", " 2:b"}, "\n") << 2 << "b" << false;
        QTest::newRow("CR alone") << lines({" 1:a", " 2:b"}, "\r") << 2 << "b" << false;
        QTest::newRow("no final line end") << QByteArray(" 1:a\r\n 2:last") << 2 << "last" << false;
        QTest::newRow("CR LF is one end") << QByteArray(" 1:a\r\n\r\n 3:c") << 3 << "c" << false;
        QTest::newRow("marker on line 2") << lines({" 1:a", "\xA0"
                                                            "2:b"})
                                          << 2 << "b" << true;
        QTest::newRow("marker anywhere") << QByteArray(" 1:\r\n\xA0x") << 1 << "" << true;
        QTest::newRow("code page") << QByteArray(" 1:\xC9t\xE9 \x80") << 1 << "Été €" << false;
        QTest::newRow("empty file") << QByteArray() << 1 << "" << false;
        QTest::newRow("blanks kept") << lines({" 1:  x  "}) << 1 << "  x  " << false;
        QTest::newRow("25 characters")
            << lines({" 1:abcdefghijklmnopqrstuvwxy"}) << 1 << "abcdefghijklmnopqrstuvwxy" << false;
    }
    void reads() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, question);
        QFETCH(QString, answer);
        QFETCH(bool, invalide);
        const auto saved = parseSavedAnswers(bytes);
        QCOMPARE(saved.answers[question], answer);
        QCOMPARE(saved.invalide, invalide);
    }

    void readsThirtyLinesOfForty() {
        QList<QByteArray> ls;
        for (int n = 1; n <= 40; ++n)
            ls << (n < 10 ? " " : "") + QByteArray::number(n) + ":q" + QByteArray::number(n);
        ls[34] = "\xA0"
                 "5:marker past line 30";
        const auto saved = parseSavedAnswers(lines(ls));
        QCOMPARE(saved.answers[30], QStringLiteral("q30"));
        QCOMPARE(saved.answers[1], QStringLiteral("q1"));
        QVERIFY(!saved.invalide); // lines after the 30th are not read
    }

    void capsAHugeLine() {
        const QByteArray huge = " 1:" + QByteArray(100000, 'x') + "\r\n 2:b\r\n";
        const auto saved = parseSavedAnswers(huge);
        QCOMPARE(saved.answers[1].size(), window::kMaxAnswerLength);
        QCOMPARE(saved.answers[2], QStringLiteral("b"));
    }
};

QTEST_GUILESS_MAIN(TestSavedAnswers)
#include "tst_saved_answers.moc"
