// Unpacking of the packed answer records into Reponses and Codes.
#include "synthetic.h"

#include "engine/cp1252.h"
#include "engine/records.h"

#include <QTest>

using engine::AnswerTables;
using engine::kRecordSlots;

namespace {

using Captions = std::array<QString, kRecordSlots>;

QString stored(const engine::Reponses& r, int v, int q) {
    QString s;
    for (int p = 1; p <= engine::kPositions && r.at(v, q, p); ++p)
        s.append(QChar(r.at(v, q, p)));
    return s;
}

bool isEmpty(const AnswerTables& t) {
    for (int v = 1; v <= 3; ++v) {
        for (int q = 1; q <= 30; ++q) {
            if (t.reponses.length(v, q) || !t.codes[q].isEmpty())
                return false;
        }
    }
    return true;
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void lengthLimit_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("used");
        QTest::newRow("55 characters") << 55 << true;
        QTest::newRow("56 characters") << 56 << false;
    }
    void lengthLimit() {
        QFETCH(int, length);
        QFETCH(bool, used);
        const QString answer(30, u'K');
        QString text = synthetic::recordText(5, answer, QStringLiteral("ABCEFGHIJKLM"));
        text += QString(length - text.size(), u'X');
        QCOMPARE(text.size(), length);
        Captions c;
        c[7] = synthetic::pack(text);
        QVERIFY(!c[7].isEmpty());
        const AnswerTables t = engine::unpackRecords(c);
        QCOMPARE(t.reponses.length(1, 5), used ? 30 : 0);
        QCOMPARE(t.codes[5], used ? QStringLiteral("ABCEFGHIJKLM") : QString());
    }

    void spacesAroundAreTrimmedFirst() {
        Captions c;
        c[0] = synthetic::pack(
            QStringLiteral("   ") +
            synthetic::recordText(27, QStringLiteral("AVE"), QStringLiteral("QWERTYUIOPAS")) +
            QStringLiteral("  "));
        QVERIFY(!c[0].isEmpty());
        const AnswerTables t = engine::unpackRecords(c);
        QCOMPARE(stored(t.reponses, 1, 27), QStringLiteral("AVE"));
        QCOMPARE(t.codes[27], QStringLiteral("QWERTYUIOPAS"));
    }

    void thirtyCharacterAnswer() {
        const QString answer = QStringLiteral("ABCEFGHIJKLMNOPQRSTUVWXYabcefg");
        QCOMPARE(answer.size(), 30);
        const QString text = synthetic::recordText(30, answer, QStringLiteral("123456789012"));
        QCOMPARE(text.indexOf(u'D') + 1, 33); // the terminator's position
        Captions c;
        c[33] = synthetic::pack(text);
        const AnswerTables t = engine::unpackRecords(c);
        QCOMPARE(stored(t.reponses, 1, 30), answer);
        QCOMPARE(t.codes[30], QStringLiteral("123456789012"));
    }

    // Slot 20 is met first; slot 5's record (no terminator) becomes variant 2 and its
    // would-be code field is part of its answer.
    void higherSlotBecomesVariantOne() {
        Captions c;
        c[20] = synthetic::pack(
            synthetic::recordText(14, QStringLiteral("MOLTAU"), QStringLiteral("AAAAAABBBBBB")));
        c[5] = synthetic::pack(
            synthetic::recordText(14, QStringLiteral("VLTAVA"), QStringLiteral("CCCCCC"), false));
        const AnswerTables t = engine::unpackRecords(c);
        QCOMPARE(stored(t.reponses, 1, 14), QStringLiteral("MOLTAU"));
        QCOMPARE(stored(t.reponses, 2, 14), QStringLiteral("VLTAVACCCCCC"));
        QCOMPARE(t.reponses.length(3, 14), 0);
        QCOMPARE(t.codes[14], QStringLiteral("AAAAAABBBBBB"));
    }

    void questionDigitsRepeatEveryTenCodes_data() {
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("tens");
        QTest::addColumn<int>("question");
        QTest::newRow("37, 36") << 37 << 36 << 1;
        QTest::newRow("47, 36") << 47 << 36 << 1;
        QTest::newRow("47, 58") << 47 << 58 << 21;
        QTest::newRow("126, 118") << 126 << 118 << 20;
    }
    void questionDigitsRepeatEveryTenCodes() {
        QFETCH(int, units);
        QFETCH(int, tens);
        QFETCH(int, question);
        const QString text = QString(QChar(char16_t(units))) + QChar(char16_t(tens)) +
                             QStringLiteral("ABCDQWERTYUIOPAS");
        Captions c;
        c[9] = synthetic::pack(text);
        const AnswerTables t = engine::unpackRecords(c);
        QCOMPARE(stored(t.reponses, 1, question), QStringLiteral("ABC"));
        QCOMPARE(t.codes[question], QStringLiteral("QWERTYUIOPAS"));
    }

    // Records that break the invariants are skipped, never written out of bounds.
    void malformedRecordsAreSkipped_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("question 0") << synthetic::recordText(0, QStringLiteral("ABC"));
        QTest::newRow("question 31") << synthetic::recordText(31, QStringLiteral("ABC"));
        QTest::newRow("question 99") << synthetic::recordText(99, QStringLiteral("ABC"));
        QTest::newRow("negative digit") << QStringLiteral("#$ABCD");
        QTest::newRow("answer of 31") << synthetic::recordText(3, QString(31, u'A'));
        QTest::newRow("answer of 31, no terminator")
            << synthetic::recordText(3, QString(31, u'A'), {}, false);
        QTest::newRow("one character") << QStringLiteral("%");
        QTest::newRow("empty") << QString();
    }
    void malformedRecordsAreSkipped() {
        QFETCH(QString, text);
        Captions c;
        c[12] = text.isEmpty() ? QString() : synthetic::pack(text);
        QVERIFY(text.isEmpty() || !c[12].isEmpty());
        QVERIFY(isEmpty(engine::unpackRecords(c)));
    }

    void fourthRecordIsSkipped() {
        Captions c;
        for (int slot = 33; slot >= 30; --slot)
            c[slot] = synthetic::pack(
                synthetic::recordText(8, QString(slot - 29, u'W'), QStringLiteral("AAAAAAAAAAAA")));
        const AnswerTables t = engine::unpackRecords(c);
        QCOMPARE(t.reponses.length(1, 8), 4);
        QCOMPARE(t.reponses.length(2, 8), 3);
        QCOMPARE(t.reponses.length(3, 8), 2);
    }

    // A caption whose key chain drops below zero comes from no packing: skipped.
    void captionOutsideTheKeyChain() {
        Captions c;
        c[3] = QString(QChar(u'\u00FF')) + QChar(u'!') + QStringLiteral("ABCDEFGHIJ");
        QVERIFY(isEmpty(engine::unpackRecords(c)));
    }

    void packingRoundTripsWithPrintableCaptions() {
        // Every code a record can hold, in many orders and lengths.
        quint32 state = 12345;
        int packed = 0;
        for (int round = 0; round < 400; ++round) {
            QString text;
            const int length = 2 + round % 60;
            for (int i = 0; i < length; ++i) {
                state = state * 1664525u + 1013904223u;
                text.append(QChar(char16_t(1 + (state >> 8) % 126)));
            }
            const QString caption = engine::packRecord(text);
            if (caption.isEmpty())
                continue;
            ++packed;
            QCOMPARE(caption.size(), text.size());
            for (QChar ch : caption) {
                const int code = cp1252::code(ch);
                QVERIFY2(code > 32 && ch.isPrint() && ch != u'&', qPrintable(caption));
            }
            // Undo it with the unpacking's own formula.
            QString unpacked;
            qsizetype k = caption.size();
            for (QChar ch : caption) {
                const int x = cp1252::code(ch);
                unpacked.append(QChar(char16_t((x - 35 - k + 125) % 126 + 1)));
                k = x - 35;
            }
            QCOMPARE(unpacked, text);
        }
        QVERIFY(packed > 50);
        QVERIFY(engine::packRecord(QString(QChar(u'\0'))).isEmpty());
        QVERIFY(engine::packRecord(QStringLiteral("\u007F")).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestRecords)
#include "tst_records.moc"
