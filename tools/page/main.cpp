// excerpts-page <store file> <excerpt folder> <edition file> <out folder>
// A page for the people who prepare an edition to hear all thirty clips in a browser: writes
// NN.mp3 (the clip as the store holds it), NN.png (its notes) and index.html, in French, with
// how far each tune stands above the other voices.
#include "balance.h"
#include "data/clip_table.h"
#include "html_page.h"
#include "piano_roll.h"
#include "score.h"
#include "tools/author/authoring.h"
#include "tools/kit/mp3_stream.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

[[noreturn]] void fail(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return file.readAll();
}

// Through a temporary file, so a failed run leaves the old file or none, never a cut one.
void save(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
}

// The text after "Score:" in the comments the source opens with; empty when none names one.
QString scoreReference(const QString& source) {
    for (const QString& raw : source.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!line.startsWith(QLatin1Char('#')))
            break;
        const QString comment = line.mid(1).trimmed();
        if (comment.startsWith(QLatin1String("Score:")))
            return comment.mid(6).trimmed();
    }
    return {};
}

struct Excerpt {
    page::Entry entry;
    QByteArray clip;
    store::Score score;
    QString sourcePath;
};

Excerpt readExcerpt(int k, const QByteArray& store, const QString& storePath,
                    const QString& sourceFolder, const QString& answer) {
    Excerpt x;
    x.clip = store.mid(edition::clipStart(k), edition::clipLength(k));
    QString error;
    const auto stream = kit::parseStream(x.clip, &error);
    if (!stream)
        fail(QStringLiteral("%1: clip %2: %3").arg(storePath).arg(k).arg(error));

    const QString sourcePath = QDir(sourceFolder).filePath(page::clipFileName(k, "txt"));
    const QByteArray source = readAll(sourcePath);
    try {
        x.score = store::parseScore(source.toStdString());
    } catch (const std::exception& e) {
        fail(QStringLiteral("%1: %2").arg(sourcePath, QString::fromStdString(e.what())));
    }

    x.sourcePath = sourcePath;
    x.entry.number = k;
    x.entry.answer = answer;
    x.entry.scoreReference = scoreReference(QString::fromUtf8(source));
    x.entry.seconds = stream->seconds;
    for (std::size_t v = 0; v < x.score.voices.size(); ++v)
        x.entry.voices.push_back({QString::fromStdString(x.score.voices[v].name),
                                  QString::fromStdString(x.score.voices[v].instrument),
                                  page::voiceColour(static_cast<int>(v))});
    for (std::size_t v : x.score.tune)
        x.entry.voices[v].tune = true;
    return x;
}

page::TuneFigure tuneFigure(store::Orchestra& orchestra, const Excerpt& x) {
    try {
        const store::TuneBalance b = store::tuneBalance(orchestra, x.score);
        return {b.lead(), b.from, b.to, b.leads(), QString::fromStdString(b.exempt)};
    } catch (const std::exception& e) {
        fail(QStringLiteral("%1: %2").arg(x.sourcePath, QString::fromStdString(e.what())));
    }
}

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: excerpts-page <store file> <excerpt folder> <edition file> "
                             "<out folder>\n");
        return 2;
    }
    const QString storePath = QString::fromLocal8Bit(argv[1]);
    const QString sourceFolder = QString::fromLocal8Bit(argv[2]);
    const QString outFolder = QString::fromLocal8Bit(argv[4]);
    try {
        // Everything is read and checked before the first file is written.
        const QByteArray store = readAll(storePath);
        if (store.size() < edition::storeLength())
            fail(QStringLiteral("%1: %2 bytes, short of the %3 the clip table gives")
                     .arg(storePath)
                     .arg(store.size())
                     .arg(edition::storeLength()));
        const QString editionPath = QString::fromLocal8Bit(argv[3]);
        QString error;
        const auto answers = author::parseEdition(QString::fromUtf8(readAll(editionPath)), &error);
        if (!answers)
            fail(QStringLiteral("%1: %2").arg(editionPath, error));
        std::vector<Excerpt> excerpts;
        for (int k = 1; k <= 30; ++k)
            excerpts.push_back(
                readExcerpt(k, store, storePath, sourceFolder, answers->forms[k].front()));
        store::Orchestra orchestra(DORLO_SOUNDFONT);
        for (Excerpt& x : excerpts)
            x.entry.tune = tuneFigure(orchestra, x);

        // Only pictures are drawn (the text in them needs the fonts): no display is needed.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const QGuiApplication app(argc, argv);
        const QDir out(outFolder);
        if (!out.mkpath(QStringLiteral(".")))
            fail(QStringLiteral("%1: cannot make the folder").arg(outFolder));
        std::vector<page::Entry> entries;
        for (const Excerpt& x : excerpts) {
            save(out.filePath(page::clipFileName(x.entry.number, "mp3")), x.clip);
            save(out.filePath(page::clipFileName(x.entry.number, "png")),
                 png(page::pianoRoll(x.score, x.entry.seconds)));
            entries.push_back(x.entry);
        }
        const QString index = out.filePath(QStringLiteral("index.html"));
        save(index, page::excerptsPage(answers->title, entries).toUtf8());
        std::printf("%s\n", qPrintable(index));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "excerpts-page: %s\n", e.what());
        return 1;
    }
    return 0;
}
