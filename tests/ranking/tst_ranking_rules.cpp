// Which codes the ranking accepts, and which pseudonyms.
#include "tests/data/edition_forms.h"

#include "data/edition.h"
#include "engine/check.h"
#include "ranking/code_book.h"
#include "ranking/pseudonym.h"
#include "ranking/rate_limiter.h"

#include <QTest>

using ranking::Score;
using namespace Qt::Literals::StringLiterals;

class TestRankingRules : public QObject {
    Q_OBJECT

    const ranking::CodeBook book_ = ranking::CodeBook::ofThisEdition();

private slots:
    // Every code the game can show, taken from the authoring file rather than from the
    // packed data the server reads.
    void codes_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("score");
        QTest::addColumn<bool>("eligible");
        const author::Edition authored = authoredEdition();
        QString error;
        const auto generated = author::generate(authored, &error);
        QVERIFY2(generated, qPrintable(error));
        std::array<QString, engine::kQuestions + 1> boxes;
        for (int q = 1; q <= engine::kQuestions; ++q)
            boxes[q] = authored.forms[q].first();
        const auto answers = engine::unpackRecords(edition::packedCaptions());
        const QString thirty =
            engine::rankingCode(edition::tables(), answers.codes, 30, false, boxes).caption;
        for (int n = 1; n <= engine::kQuestions; ++n) {
            const QString eligible = n == 30 ? thirty : generated->eligible[n];
            QTest::addRow("%d", n) << eligible << n << true;
            QTest::addRow("%d hors concours", n) << generated->notEligible[n] << n << false;
        }
    }
    void codes() {
        QFETCH(QString, code);
        QFETCH(int, score);
        QFETCH(bool, eligible);
        QCOMPARE(code.size(), 6);
        const Score expected{score, eligible};
        QCOMPARE(book_.lookup(code), expected);
        QCOMPARE(book_.lookup(" \t" + code.toLower() + "  "), expected);
        QCOMPARE(book_.codeOf(expected), code);
        // Near misses: one character off anywhere, one too few or too many.
        static const QString kDigits = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        for (int i = 0; i < code.size(); ++i) {
            for (QChar c : kDigits) {
                QString near = code;
                near[i] = c;
                if (near != code)
                    QVERIFY2(book_.lookup(near) != expected, qPrintable(near));
            }
        }
        QCOMPARE(book_.lookup(code.left(5)), std::nullopt);
        QCOMPARE(book_.lookup(code + code[0]), std::nullopt);
        QCOMPARE(book_.lookup(code.left(3) + " " + code.mid(3)), std::nullopt);
    }
    void noCode() {
        for (const char* typed : {"- - - - - -", "------", "", "      ", "MMMMMM"})
            QCOMPARE(book_.lookup(QString::fromUtf8(typed)), std::nullopt);
    }

    void pseudonyms_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");  // empty: refused
        QTest::addColumn<QString>("sameAs"); // a name that is the same player
        QTest::addColumn<QString>("other");  // a name that is another player
        QTest::newRow("letters") << u"Élodie"_qs << u"Élodie"_qs << u"élodie"_qs << u"Elodie"_qs;
        QTest::newRow("trimmed") << u"  Zoé \t"_qs << u"Zoé"_qs << u"zoé"_qs << u"Zoe"_qs;
        QTest::newRow("composed") << u"E\u0301lo"_qs << u"Élo"_qs << u"élo"_qs << u"Elo"_qs;
        QTest::newRow("signs") << u"J.-P. O'Neil_2"_qs << u"J.-P. O'Neil_2"_qs
                               << u"j.-p. o'neil_2"_qs << u"J.-P. ONeil_2"_qs;
        QTest::newRow("one space per run in the key")
            << u"Jean  PAUL"_qs << u"Jean  PAUL"_qs << u"jean paul"_qs << u"JeanPaul"_qs;
        QTest::newRow("24 characters")
            << QString(24, u'é') << QString(24, u'é') << QString(24, u'É') << QString(23, u'é');
        // Look-alikes, case and width make no new player.
        QTest::newRow("capitals") << u"ALICE"_qs << u"ALICE"_qs << u"Alice"_qs << u"Alize"_qs;
        QTest::newRow("full width")
            << u"Ａｌｉｃｅ"_qs << u"Ａｌｉｃｅ"_qs << u"Alice"_qs << QString();
        QTest::newRow("bold maths") << u"𝐀lice"_qs << u"𝐀lice"_qs << u"alice"_qs << QString();
        QTest::newRow("sharp s") << u"Straße"_qs << u"Straße"_qs << u"STRASSE"_qs << QString();
        QTest::newRow("ligature") << u"ﬁlou"_qs << u"ﬁlou"_qs << u"filou"_qs << QString();
        QTest::newRow("Turkish") << u"İstanbul"_qs << u"İstanbul"_qs << QString() << QString();
        QTest::newRow("zero for O")
            << u"LEA2009"_qs << u"LEA2009"_qs << u"lea2OO9"_qs << u"LEA2019"_qs;
        QTest::newRow("all Cyrillic") << u"рара"_qs << u"рара"_qs << u"PAPA"_qs << QString();
        QTest::newRow("Latin with Han")
            << u"Kenji 健二"_qs << u"Kenji 健二"_qs << QString() << u"Kenji"_qs;
        // Counted as a reader sees them, as the form's pattern does.
        const QString bold = u"𝐀"_qs;
        QTest::newRow("24 bold maths")
            << bold.repeated(24) << bold.repeated(24) << QString(24, u'a') << QString();
        QTest::newRow("25 bold maths") << bold.repeated(25) << QString() << QString() << QString();
        const QString umlautN = u"n\u0308"_qs;
        QTest::newRow("24 with marks")
            << umlautN.repeated(24) << umlautN.repeated(24) << QString() << QString(24, u'n');
        QTest::newRow("25 with marks")
            << umlautN.repeated(25) << QString() << QString() << QString();
        QTest::newRow("Thai") << u"น้ำ"_qs.repeated(24) << u"น้ำ"_qs.repeated(24) << QString()
                              << QString();
        QTest::newRow("Devanagari") << u"क्षमा"_qs << u"क्षमा"_qs << QString() << QString();
        QTest::newRow("25 characters") << QString(25, u'a') << QString() << QString() << QString();
        QTest::newRow("empty") << QString() << QString() << QString() << QString();
        QTest::newRow("spaces only") << u"   "_qs << QString() << QString() << QString();
        for (const char16_t* bad : {u"<b>", u"a\"b", u"a;b", u"a\tb", u"a\nb", u"a\u200Bb",
                                    u"a\U0001F600", u"a/b", u"a%b", u"a\u00A0b",
                                    // other scripts mixed with Latin
                                    u"Аlice", u"Αlice", u"𝛂lice", u"12\u0663",
                                    // fillers and invisible characters
                                    u"Alice\u3164", u"\u3164", u"A\u115Fb", u"A\u1160b",
                                    u"A\uFFA0b", u"A\u2800b", u"A\u00ADb", u"A\u034Fb", u"A\uFE0Fb",
                                    // marks on nothing, repeated, hidden or piled up
                                    u"\u0301Alice", u"Al \u0301ice", u"Ale\u0301\u0301",
                                    u"Ali\u0307ce", u"q\u0300\u0301\u0302\u0303\u0304"}) {
            const QString typed = QString::fromUtf16(bad);
            QTest::addRow("refused %s", qPrintable(typed.toUtf8().toPercentEncoding()))
                << typed << QString() << QString() << QString();
        }
    }
    void pseudonyms() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, sameAs);
        QFETCH(QString, other);
        const ranking::PseudonymCheck check = ranking::checkPseudonym(typed);
        if (shown.isEmpty()) {
            QVERIFY(!check.pseudonym);
            QVERIFY(!check.error.isEmpty());
            return;
        }
        QVERIFY2(check.pseudonym, qPrintable(check.error));
        QCOMPARE(check.pseudonym->shown, shown);
        const auto keyOf = [](const QString& name) {
            const ranking::PseudonymCheck c = ranking::checkPseudonym(name);
            return c.pseudonym ? c.pseudonym->key : QString();
        };
        // The key is stored: the same name must always give it.
        const QString key = check.pseudonym->key;
        QCOMPARE(keyOf(shown), key);
        if (!sameAs.isEmpty())
            QCOMPARE(keyOf(sameAs), key);
        if (!other.isEmpty()) {
            const QString otherKey = keyOf(other);
            QVERIFY(!otherKey.isEmpty() && otherKey != key);
        }
    }

    void rateLimit() {
        ranking::RateLimiter limiter(3);
        const auto t0 = ranking::RateLimiter::Clock::now();
        for (int i = 0; i < 3; ++i)
            QVERIFY(limiter.allow("10.0.0.1", t0 + std::chrono::seconds(i)));
        QVERIFY(!limiter.allow("10.0.0.1", t0 + std::chrono::seconds(30)));
        QVERIFY(limiter.allow("10.0.0.2", t0 + std::chrono::seconds(30)));
        QVERIFY(limiter.allow("10.0.0.1", t0 + std::chrono::seconds(61)));
        // An IPv6 client's /64 is one client, however many of its addresses it uses.
        for (const char* a : {"2001:db8:1:2::1", "2001:db8:1:2::2", "2001:db8:1:2:ffff::9"})
            QVERIFY(limiter.allow(a, t0));
        QVERIFY(!limiter.allow("2001:db8:1:2::77", t0));
        QVERIFY(limiter.allow("2001:db8:1:3::1", t0));
        ranking::RateLimiter off(0);
        for (int i = 0; i < 100; ++i)
            QVERIFY(off.allow("10.0.0.1", t0));
    }
};

QTEST_APPLESS_MAIN(TestRankingRules)
#include "tst_ranking_rules.moc"
