// The listening page made from the built store: thirty players, pictures and first answers in
// a well-formed page; bad input refused in one line with no page written over the old one.
#include "data/clip_table.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kStore = QStringLiteral(DORLO_BUILD_DIR "/Dorlo Zidoduder 04.dat");
const QString kSources = QStringLiteral(DORLO_SOURCE_DIR "/data/excerpts");
const QString kEdition = QStringLiteral(DORLO_SOURCE_DIR "/data/edition/edition.txt");

struct Run {
    int exitCode = -1;
    QByteArray err;
};

Run runTool(const QString& store, const QString& sources, const QString& out) {
    QProcess tool;
    tool.start(QStringLiteral(EXCERPTS_PAGE), {store, sources, kEdition, out});
    // Rendering every tune and its accompaniment apart takes a while under the sanitizers.
    if (!tool.waitForFinished(200000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), tool.readAllStandardError()};
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString name(int k, const char* suffix) {
    return QStringLiteral("%1.%2").arg(k, 2, 10, QLatin1Char('0')).arg(QLatin1String(suffix));
}

} // namespace

class TestExcerptsPage : public QObject {
    Q_OBJECT

    QTemporaryDir inputs_;

private slots:
    void pageOfTheBuiltStore();
    void badInputLeavesTheOldPage_data();
    void badInputLeavesTheOldPage();
};

void TestExcerptsPage::pageOfTheBuiltStore() {
    const QByteArray store = readAll(kStore);
    QCOMPARE(store.size(), edition::storeLength());
    QTemporaryDir out;
    const Run run = runTool(kStore, kSources, out.path());
    QVERIFY2(run.exitCode == 0, run.err.constData());

    const QByteArray html = readAll(out.filePath(QStringLiteral("index.html")));
    QCOMPARE(html.count("<audio controls"), 30);
    // Every tune's lead is shown, and none falls short.
    QCOMPARE(html.count("<p class=\"tune\">Thème "), 30);
    QXmlStreamReader xml(html);
    QStringList headings;
    QString lang;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == u"html")
            lang = xml.attributes().value(QStringLiteral("lang")).toString();
        if (xml.isStartElement() && xml.name() == u"h2")
            headings << xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    QVERIFY2(
        !xml.hasError(),
        qPrintable(QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString())));
    QCOMPARE(lang, QStringLiteral("fr"));
    QCOMPARE(headings.size(), 30);
    QCOMPARE(headings[0], QStringLiteral("Question 1 Pour Élise"));
    QCOMPARE(headings[2], QStringLiteral("Question 3 Peer Gynt")); // the first form only
    QCOMPARE(headings[15], QStringLiteral("Question 16 L'Apprenti sorcier"));

    for (int k = 1; k <= 30; ++k) {
        QCOMPARE(readAll(out.filePath(name(k, "mp3"))),
                 store.mid(edition::clipStart(k), edition::clipLength(k)));
        QCOMPARE(QImage(out.filePath(name(k, "png"))).width(), 900);
    }
}

void TestExcerptsPage::badInputLeavesTheOldPage_data() {
    QVERIFY(inputs_.isValid());
    const QString shortStore = inputs_.filePath(QStringLiteral("short.dat"));
    QVERIFY(write(shortStore, readAll(kStore).left(edition::storeLength() - 1)));
    // A copy of the sources where one no longer parses.
    const QString broken = inputs_.filePath(QStringLiteral("broken"));
    QVERIFY(QDir().mkpath(broken));
    for (int k = 1; k <= 30; ++k)
        QVERIFY(QFile::copy(kSources + QLatin1Char('/') + name(k, "txt"),
                            broken + QLatin1Char('/') + name(k, "txt")));
    QVERIFY(write(broken + QStringLiteral("/07.txt"), "tempo 90\nvoice a piano\nc4:4 q4\n"));

    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("sources");
    QTest::addColumn<QString>("named"); // what the line on stderr must name
    QTest::newRow("missing store")
        << inputs_.filePath(QStringLiteral("none.dat")) << kSources << QStringLiteral("none.dat");
    QTest::newRow("short store") << shortStore << kSources << QStringLiteral("short.dat");
    QTest::newRow("missing source") << kStore << inputs_.path() << QStringLiteral("01.txt");
    QTest::newRow("source that does not parse")
        << kStore << broken << QStringLiteral("07.txt: line 3");
}

void TestExcerptsPage::badInputLeavesTheOldPage() {
    QFETCH(QString, store);
    QFETCH(QString, sources);
    QFETCH(QString, named);
    QTemporaryDir out;
    const QString index = out.filePath(QStringLiteral("index.html"));
    QVERIFY(write(index, "old page"));
    const Run run = runTool(store, sources, out.path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith("excerpts-page: ") && run.err.contains(named.toUtf8()),
             run.err.constData());
    QCOMPARE(readAll(index), QByteArray("old page"));
}

QTEST_GUILESS_MAIN(TestExcerptsPage)
#include "tst_excerpts_page.moc"
