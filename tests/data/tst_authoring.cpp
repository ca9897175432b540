// The authoring tool refuses what the program could not use, and is deterministic.
#include "edition_forms.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QString withQuestion(int question, const QString& value) {
    QString text = u"title = T\nsite-name = n\nsite-address = a\nseed = 7\n"_qs;
    for (int q = 1; q <= 30; ++q)
        text += QString::number(q) + " = " + (q == question ? value : u"Carmen"_qs) + "\n";
    return text;
}

} // namespace

class TestAuthoring : public QObject {
    Q_OBJECT
private slots:
    void refusals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("31 characters")
            << withQuestion(4, QString(31, u'a')) << u"longer than 30"_qs;
        QTest::newRow("fourth form") << withQuestion(4, u"a / b / c / d"_qs) << u"more than 3"_qs;
        QTest::newRow("typographic apostrophe")
            << withQuestion(16, u"L’Apprenti"_qs) << u"no table can hold"_qs;
        QTest::newRow("umlaut") << withQuestion(16, u"Für Elise"_qs) << u"no table can hold"_qs;
        QTest::newRow("three accents") << withQuestion(9, u"ÉÈÛ"_qs) << u"accented"_qs;
        QTest::newRow("27 classes")
            << withQuestion(9, u"abcdefghijklmnopqrstuvwxyz 1"_qs) << u"too many"_qs;
        QTest::newRow("empty form") << withQuestion(9, u"a / / b"_qs) << u"empty form"_qs;
        QTest::newRow("missing question")
            << withQuestion(0, {}).remove(u"12 = Carmen\n"_qs) << u"question 12 is missing"_qs;
        QTest::newRow("unknown key") << withQuestion(0, {}) + "colour = red\n" << u"unknown"_qs;
        QTest::newRow("no equals") << withQuestion(0, {}) + "just text\n" << u"key = value"_qs;
        QTest::newRow("twice") << withQuestion(0, {}) + "07 = Carmen\n" << u"twice"_qs;
    }
    void refusals() {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        QString error;
        QVERIFY(!author::parseEdition(text, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    // 30 questions make 30 records; the slots want 33.
    void recordCountMustFillTheSlots() {
        QString error;
        const auto edition = author::parseEdition(withQuestion(0, {}), &error);
        QVERIFY2(edition, qPrintable(error));
        QVERIFY(!author::generate(*edition, &error));
        QVERIFY2(error.contains(u"33"_qs), qPrintable(error));
    }

    void sameInputSameOutput() {
        const author::Edition edition = authoredEdition();
        QString error;
        const auto first = author::generate(edition, &error);
        QVERIFY2(first, qPrintable(error));
        const auto second = author::generate(edition, &error);
        QCOMPARE(author::writeSource(edition, *second), author::writeSource(edition, *first));
        author::Edition reseeded = edition;
        ++reseeded.seed;
        QVERIFY(author::writeSource(reseeded, *author::generate(reseeded, &error)) !=
                author::writeSource(edition, *first));
        // The build used this very file.
        QFile built(QStringLiteral(DORLO_BUILD_DIR "/data/edition/edition_data.cpp"));
        QVERIFY(built.open(QIODevice::ReadOnly));
        QCOMPARE(built.readAll(), author::writeSource(edition, *first));
    }
};

QTEST_APPLESS_MAIN(TestAuthoring)
#include "tst_authoring.moc"
