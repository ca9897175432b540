// The edition kit builds a small second edition from generated clips, and refuses what the
// program could not use, leaving nothing behind.
#include "fixtures/files.h"
#include "fixtures/mp3_clips.h"
#include "tools/kit/edition_kit.h"
#include "tools/kit/mp3_stream.h"

#include "engine/check.h"
#include "engine/cp1252.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// 33 forms in all, as the record slots want: three for question 5, two for question 12.
QString answers(const QString& extra = {}, bool seed = true) {
    QString text = u"# A second edition, for the kit's test.\n"
                   "title = Dorlo Zidoduder 05\n"
                   "site-name = www.dorlos-05.example\n"
                   "site-address = https://www.dorlos-05.example/\n"_s;
    if (seed)
        text += u"seed = 0x5EED0005\n"_s;
    const QStringList forms{u"Boléro"_s,
                            u"La Mer"_s,
                            u"Pierre et le Loup"_s,
                            u"Les Planètes"_s,
                            u"Carmina Burana / O Fortuna / Fortuna Imperatrix Mundi"_s,
                            u"Le Sacre du printemps"_s,
                            u"Une nuit sur le mont Chauve"_s,
                            u"Tableaux d'une exposition"_s,
                            u"Rhapsody in Blue"_s,
                            u"La Valse"_s,
                            u"Pavane"_s,
                            u"Le Carnaval des animaux / Le Cygne"_s,
                            u"Adagio"_s,
                            u"Requiem"_s,
                            u"La Création"_s,
                            u"Le Messie"_s,
                            u"Water Music"_s,
                            u"Les Indes galantes"_s,
                            u"Norma"_s,
                            u"Lakmé"_s,
                            u"Aïda"_s,
                            u"Nabucco"_s,
                            u"Tosca"_s,
                            u"Faust"_s,
                            u"Manon"_s,
                            u"Werther"_s,
                            u"Thaïs"_s,
                            u"Samson et Dalila"_s,
                            u"Le Roi d'Ys"_s,
                            u"Mireille"_s};
    for (int q = 1; q <= 30; ++q)
        text += QString::number(q) + u" = "_s + forms[q - 1] + u'\n';
    return text + extra;
}

// The score in two characters that are no look-alikes: 7 is "3J", 30 is "7A".
QString scoreMark(int n) {
    return QString(u"3467"_s[n / 10]) + u"ACDEFGHJKL"_s[n % 10];
}

QString codesLines() {
    QString text;
    for (int n = 1; n <= 30; ++n)
        text += u"code-%1 = E%2KYT / N%2KYT\n"_s.arg(n).arg(scoreMark(n));
    return text;
}

using testing::readFile;
using testing::writeFile;

struct Run {
    int exitCode;
    QString err;
};

Run runKit(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(DORLO_KIT_PATH), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QList<qint64> tableEntries(const QByteArray& header) {
    const QByteArray body = header.mid(header.indexOf("kDebuts = {") + 11,
                                       header.indexOf("};") - header.indexOf("kDebuts = {") - 11);
    QList<qint64> out;
    for (const QByteArray& n : body.split(','))
        if (!n.trimmed().isEmpty())
            out << n.trimmed().toLongLong();
    return out;
}

} // namespace

// What the game would hold of a generated edition: its tables and its unpacked records.
struct Loaded {
    engine::TableSet tables;
    engine::AnswerTables unpacked;
};

Loaded loaded(const author::Generated& data) {
    std::vector<engine::SubstTableData> views;
    for (const author::Table& t : data.tables)
        views.push_back({t.question, t.variant, t.entries});
    std::array<QString, engine::kRecordSlots> captions;
    for (int s = 0; s < engine::kRecordSlots; ++s)
        captions[s] = cp1252::toUnicode(data.captions[s]);
    return {engine::TableSet(views), engine::unpackRecords(captions)};
}

class TestEditionKit : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString clips_;
    std::array<QByteArray, kit::kClips> inputs_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        clips_ = dir_.filePath(u"clips"_s);
        QVERIFY(QDir().mkpath(clips_));
        for (int k = 0; k < kit::kClips; ++k)
            inputs_[k] = testing::tone(0.15 + 0.01 * k, 220 + 20 * k);
        // Clips whose length is no multiple of 4, one for each way of growing them.
        for (double s = 0.2; inputs_[3].size() % 4 == 0 || s == 0.2; s += 0.013)
            inputs_[3] = testing::tone(s, 330, 44100, 128);
        inputs_[5] = testing::paddingTag(3, 3) + inputs_[5];
        inputs_[7] = testing::paddingTag(4, 2, true) + inputs_[7];
        inputs_[9] = testing::extendedTag(1) + inputs_[9];
        inputs_[11] += "TAG" + QByteArray(125, 'x'); // ID3v1 closes it
        for (int k = 0; k < kit::kClips; ++k)
            QVERIFY(writeFile(clips_ + u'/' + kit::clipFileName(k), inputs_[k]));
        for (int k : {3, 5, 7, 9})
            QVERIFY(inputs_[k].size() % 4 != 0);
    }

    void buildsAndPlaysASecondEdition() {
        const QString file = dir_.filePath(u"answers.txt"_s);
        const QString out = dir_.filePath(u"out/edition 05"_s);
        QVERIFY(writeFile(file, answers().toUtf8()));
        const Run run = runKit({file, clips_, out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));

        QString error;
        const auto made = kit::prepare(file, clips_, &error);
        QVERIFY2(made, qPrintable(error));
        QCOMPARE(readFile(out + u"/edition_data.cpp"_s), made->source);
        QVERIFY(made->source.contains("Dorlo Zidoduder 05"));

        // The start table matches the clips, and the store holds each one at its offset.
        const QList<qint64> table = tableEntries(readFile(out + u"/clip_table.h"_s));
        QCOMPARE(table.size(), 32);
        QCOMPARE(table[0], 0);
        const QByteArray store = readFile(out + u"/Dorlo Zidoduder 04.dat"_s);
        QCOMPARE(qint64(store.size()), 4 * table[31]);
        for (int k = 0; k < kit::kClips; ++k) {
            QCOMPARE(table[k], qint64(made->debuts[k]));
            const QByteArray stored = store.mid(4 * table[k], 4 * (table[k + 1] - table[k]));
            QCOMPARE(stored, made->clips[k]);
            if (inputs_[k].size() % 4 == 0) {
                QCOMPARE(stored, inputs_[k]);
            } else {
                // A few bytes of padding; a dropped v2.4 footer may make it shorter.
                QVERIFY(qAbs(stored.size() - inputs_[k].size()) <= 13);
                QVERIFY(kit::parseStream(stored, &error));
            }
            QCOMPARE(testing::decodedSamples(stored), testing::decodedSamples(inputs_[k]));
        }
        QVERIFY(testing::decodedSamples(inputs_[3]) > 0);
        QVERIFY(QDir(out).entryList(QDir::Files).size() == 3);

        // Played through the engine: every accepted form is found and shows the first.
        const auto [tables, unpacked] = loaded(made->data);
        for (int q = 1; q <= 30; ++q) {
            const QStringList& forms = made->edition.forms[q];
            for (const QString& form : forms) {
                for (const QString& typed : {form, form.toUpper(), u"  "_s + form.toLower()}) {
                    const auto r = engine::checkAnswer(tables, unpacked.reponses, q, typed);
                    QVERIFY2(r.outcome == engine::Outcome::Found, qPrintable(typed));
                    QCOMPARE(r.caption, u"Correct"_s);
                    QCOMPARE(r.plain.value_or(QString()).toUpper(), forms.first().toUpper());
                }
            }
            QString nearMiss = forms.first();
            nearMiss[nearMiss.size() - 1] = nearMiss.back() == u'x' ? u'y' : u'x';
            const auto r = engine::checkAnswer(tables, unpacked.reponses, q, nearMiss);
            QVERIFY2(r.outcome != engine::Outcome::Found, qPrintable(nearMiss));
            QVERIFY(!r.bold);
            // Another question's answer is not accepted here.
            QVERIFY(engine::checkAnswer(tables, unpacked.reponses, q,
                                        made->edition.forms[q % 30 + 1].first())
                        .outcome != engine::Outcome::Found);
        }
    }

    // Codes given instead of a seed are the ones the game shows, score by score.
    void givenCodesAreShown() {
        const QString file = dir_.filePath(u"coded.txt"_s);
        QVERIFY(writeFile(file, answers(codesLines(), false).toUtf8()));
        QString error;
        const auto made = kit::prepare(file, clips_, &error);
        QVERIFY2(made, qPrintable(error));
        const auto again = kit::prepare(file, clips_, &error);
        QCOMPARE(again->source, made->source);

        const auto [tables, unpacked] = loaded(made->data);
        std::array<QString, 31> boxes;
        for (int n = 1; n <= 29; ++n) {
            QCOMPARE(engine::rankingCode(tables, unpacked.codes, n, false, boxes).caption,
                     u"E%1KYT"_s.arg(scoreMark(n)));
            QCOMPARE(engine::rankingCode(tables, unpacked.codes, n, true, boxes).caption,
                     u"N%1KYT"_s.arg(scoreMark(n)));
        }
    }

    void refusals_data() {
        QTest::addColumn<QString>("text");     // the answers file
        QTest::addColumn<int>("clip");         // the clip to replace, or -1
        QTest::addColumn<QByteArray>("bytes"); // its new content; "-" removes it
        QTest::addColumn<QString>("extra");    // another file put among the clips
        QTest::addColumn<QString>("message");  // what the one line says

        const QString good = answers();
        const QByteArray frames = testing::tone(0.1, 440);
        auto replaced = [&](const QString& from, const QString& to) {
            return QString(good).replace(from, to);
        };
        QTest::newRow("answer of 31 characters")
            << replaced(u"= Adagio"_s, u"= Adagio pour cordes en sol mineur"_s) << -1
            << QByteArray() << QString() << u"answers.txt: line 18: question 13: \"Adagio pour"_s;
        QTest::newRow("character no table holds")
            << replaced(u"Le Roi d'Ys"_s, u"Le Roi d’Ys"_s) << -1 << QByteArray() << QString()
            << u"no table can hold the character '’'"_s;
        QTest::newRow("fourth form") << replaced(u"Le Cygne"_s, u"Le Cygne / A / B"_s) << -1
                                     << QByteArray() << QString() << u"more than 3 forms"_s;
        QTest::newRow("34 forms") << replaced(u"= Norma"_s, u"= Norma / Casta Diva"_s) << -1
                                  << QByteArray() << QString() << u"34 forms in all"_s;
        QTest::newRow("small letters in a code")
            << answers(codesLines().replace(u"E3JKYT"_s, u"e3jkyt"_s), false) << -1 << QByteArray()
            << QString() << u"code-7: \"e3jkyt\" is not six digits or capitals"_s;
        QTest::newRow("a look-alike in a code")
            << answers(codesLines().replace(u"N3JKYT"_s, u"N3JKOT"_s), false) << -1 << QByteArray()
            << QString() << u"answers.txt: line 41: code-7: \"N3JKOT\" holds 'O', a look-alike"_s;
        QTest::newRow("a code twice")
            << answers(codesLines().replace(u"N3LKYT"_s, u"E3EKYT"_s), false) << -1 << QByteArray()
            << QString() << u"already a code of score 3"_s;
        QTest::newRow("codes of one score missing")
            << answers(codesLines().remove(u"code-30 = E7AKYT / N7AKYT\n"_s), false) << -1
            << QByteArray() << QString() << u"code-30 is missing"_s;
        QTest::newRow("neither seed nor codes")
            << answers({}, false) << -1 << QByteArray() << QString() << u"\"seed\" is missing"_s;

        QTest::newRow("missing clip")
            << good << 17 << QByteArray("-") << QString() << u"clips/17.mp3: clip 17 is missing"_s;
        QTest::newRow("a 32nd clip")
            << good << -1 << QByteArray() << u"31.mp3"_s << u"32 MP3 files where 31 are wanted"_s;
        QTest::newRow("empty clip") << good << 12 << QByteArray("") << QString()
                                    << u"clips/12.mp3: clip 12 is not a whole MP3 stream: empty"_s;
        QTest::newRow("last frame cut short")
            << good << 30 << frames.chopped(30) << QString()
            << u"30.mp3: clip 30 is not a whole MP3 stream: byte "_s;
        QTest::newRow("garbage after the frames")
            << good << 4 << frames + QByteArray(40, 'g') << QString()
            << u"not an MPEG audio frame header"_s;
        QTest::newRow("two stray bytes") << good << 4 << frames + QByteArray(2, '\0') << QString()
                                         << u"2 stray bytes after the last frame"_s;
        QTest::newRow("a tag and no sound")
            << good << 0 << testing::paddingTag(3, 6) << QString()
            << u"00.mp3: clip 0 is not a whole MP3 stream: no MPEG"_s;
        QTest::newRow("tag longer than the file")
            << good << 2 << testing::paddingTag(3, 4000).left(100) + frames << QString()
            << u"the ID3v2 tag claims 4010 bytes"_s;
        QTest::newRow("another rate mid-stream")
            << good << 8 << frames + testing::tone(0.1, 440, 44100, 128) << QString()
            << u"MPEG-1 layer 3 at 44100 Hz in a stream of MPEG-2 layer 3 at 24000 Hz"_s;
        QTest::newRow("a text file named .mp3")
            << good << 6 << QByteArray("not music\n") << QString()
            << u"06.mp3: clip 6 is not a whole MP3 stream"_s;
    }
    void refusals() {
        QFETCH(QString, text);
        QFETCH(int, clip);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, extra);
        QFETCH(QString, message);

        QTemporaryDir work;
        const QString clips = work.filePath(u"clips"_s);
        QVERIFY(QDir().mkpath(clips));
        for (int k = 0; k < kit::kClips; ++k)
            QVERIFY(QFile::copy(clips_ + u'/' + kit::clipFileName(k),
                                clips + u'/' + kit::clipFileName(k)));
        if (clip >= 0) {
            const QString path = clips + u'/' + kit::clipFileName(clip);
            QVERIFY(QFile::remove(path));
            if (bytes != "-")
                QVERIFY(writeFile(path, bytes));
        }
        if (!extra.isEmpty())
            QVERIFY(writeFile(clips + u'/' + extra, inputs_[1]));
        const QString file = work.filePath(u"answers.txt"_s);
        QVERIFY(writeFile(file, text.toUtf8()));
        // An earlier edition's outputs stay as they were.
        const QString out = work.filePath(u"out"_s);
        QVERIFY(QDir().mkpath(out));
        QVERIFY(writeFile(out + u"/clip_table.h"_s, "earlier"));

        const Run run = runKit({file, clips, out});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(run.err.startsWith(u"dorlo-edition-kit: "_s), qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{u"clip_table.h"_s});
        QCOMPARE(readFile(out + u"/clip_table.h"_s), QByteArray("earlier"));
    }

    void outputFolderUnusable() {
        const QString file = dir_.filePath(u"answers.txt"_s);
        QVERIFY(writeFile(file, answers().toUtf8()));
        const QString blocker = dir_.filePath(u"a file"_s);
        QVERIFY(writeFile(blocker, "x"));
        const Run run = runKit({file, clips_, blocker + u"/out"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"a file/out: cannot make the folder"_s), qPrintable(run.err));
    }

    // Offsets are 32-bit counts of words: a store past them is refused, never wrapped.
    void startTableLimits() {
        std::array<std::int64_t, kit::kClips> lengths;
        lengths.fill(4);
        QString error;
        auto table = kit::startTable(lengths, &error);
        QVERIFY(table);
        QCOMPARE((*table)[31], 31);
        lengths[30] = kit::kMaxStoreBytes - 30 * 4;
        QVERIFY(kit::startTable(lengths, &error));
        QCOMPARE((*kit::startTable(lengths, &error))[31], INT32_MAX);
        lengths[30] += 4;
        QVERIFY(!kit::startTable(lengths, &error));
        QVERIFY2(error.contains(u"clip 30 ends past"_s), qPrintable(error));
        lengths[30] = 6;
        QVERIFY(!kit::startTable(lengths, &error));
        QVERIFY2(error.contains(u"not a positive multiple of 4"_s), qPrintable(error));
    }

    // Growing a tag keeps the stream whole and its sound the same, whatever the tag's shape.
    void alignment_data() {
        QTest::addColumn<QByteArray>("clip");
        const QByteArray frames = testing::tone(0.1, 440);
        QTest::newRow("no tag, 417/418-byte frames") << testing::tone(0.21, 440, 44100, 128);
        QTest::newRow("v2.3 tag") << testing::paddingTag(3, 1) + frames;
        QTest::newRow("v2.2 tag") << testing::paddingTag(2, 2) + frames;
        QTest::newRow("v2.4 tag with footer") << testing::paddingTag(4, 3, true) + frames;
        QTest::newRow("v2.3 extended header") << testing::extendedTag(2) + frames;
    }
    void alignment() {
        QFETCH(QByteArray, clip);
        QString error;
        const auto before = kit::parseStream(clip, &error);
        QVERIFY2(before, qPrintable(error));
        const QByteArray aligned = kit::alignToWords(clip, *before);
        QCOMPARE(aligned.size() % 4, 0);
        const auto after = kit::parseStream(aligned, &error);
        QVERIFY2(after, qPrintable(error));
        QCOMPARE(after->frames, before->frames);
        QVERIFY(aligned.endsWith(clip.mid(before->tagBytes)));
        QCOMPARE(testing::decodedSamples(aligned), testing::decodedSamples(clip));
        if (clip[5] & 0x40) { // the extended header's padding count follows the tag
            const qint64 padding = (uchar(aligned[16]) << 24) | (uchar(aligned[17]) << 16) |
                                   (uchar(aligned[18]) << 8) | uchar(aligned[19]);
            QCOMPARE(padding, after->tagBytes - 10 - 10);
        }
    }
};

QTEST_GUILESS_MAIN(TestEditionKit)
#include "tst_edition_kit.moc"
