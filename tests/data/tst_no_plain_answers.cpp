// The game's executable, and the ranking server's, hold no accepted answer and no ranking code
// in plain form.
#include "edition_forms.h"

#include "data/edition.h"
#include "engine/check.h"
#include "engine/cp1252.h"

using namespace Qt::Literals::StringLiterals;

class TestNoPlainAnswers : public QObject {
    Q_OBJECT
private slots:
    void executableHoldsNoPlainText_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("game") << QStringLiteral(DORLO_BUILD_DIR "/dorlo-zidoduder-04");
        QTest::newRow("ranking server") << QStringLiteral(DORLO_BUILD_DIR "/ranking/dorlo-ranking");
    }
    void executableHoldsNoPlainText() {
        QFETCH(QString, path);
        QFile exe(path);
        if (!exe.exists())
            QSKIP("the executable is not built yet");
        QVERIFY(exe.open(QIODevice::ReadOnly));
        const QByteArray bytes = exe.readAll();
        QVERIFY(bytes.size() > 1000);

        const author::Edition authored = authoredEdition();
        QList<QByteArray> needles;
        for (int q = 1; q <= engine::kQuestions; ++q) {
            for (const QString& form : authored.forms[q]) {
                needles << cp1252::fromUnicode(form) << form.toUtf8();
                needles << cp1252::fromUnicode(form.toUpper()) << form.toUpper().toUtf8();
            }
        }
        // The codes as the window would show them: both halves of every score, and the
        // computed code of thirty found answers.
        const auto answers = engine::unpackRecords(edition::packedCaptions());
        std::array<QString, 31> boxes;
        for (int q = 1; q <= engine::kQuestions; ++q)
            boxes[q] = authored.forms[q].first();
        for (int n = 1; n <= engine::kQuestions; ++n) {
            QString first;
            for (QChar c : answers.codes[n].left(6))
                first.append(QChar(edition::tables().lowestCodeCharacter(n, c.unicode())));
            needles << first.toLatin1();
            needles << engine::rankingCode(edition::tables(), answers.codes, n, true, boxes)
                           .caption.toLatin1();
        }
        needles << engine::rankingCode(edition::tables(), answers.codes, 30, false, boxes)
                       .caption.toLatin1();
        QCOMPARE(needles.size(), 33 * 4 + 61);
        // Control: the search does see the packed data the game is built with.
        for (const QString& caption : edition::packedCaptions())
            QVERIFY(bytes.contains(cp1252::fromUnicode(caption)));
        for (const QByteArray& needle : needles) {
            QVERIFY(!needle.isEmpty());
            QVERIFY2(!bytes.contains(needle), needle.constData());
        }
    }
};

QTEST_APPLESS_MAIN(TestNoPlainAnswers)
#include "tst_no_plain_answers.moc"
