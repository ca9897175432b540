// dorlo-author <authoring file> <output source>
// Builds this edition's tables, codes and packed records from the authoring file.
#include "authoring.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <cstdio>

namespace {
int refuse(const QString& where, const QString& message) {
    std::fprintf(stderr, "dorlo-author: %s: %s\n", qPrintable(where), qPrintable(message));
    return 1;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dorlo-author <authoring file> <output source>\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(input, file.errorString());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(file.readAll());
    if (utf8.hasError())
        return refuse(input, QStringLiteral("not valid UTF-8"));

    QString error;
    const std::optional<author::Edition> edition = author::parseEdition(text, &error);
    if (!edition)
        return refuse(input, error);
    const std::optional<author::Generated> data = author::generate(*edition, &error);
    if (!data)
        return refuse(input, error);
    const QByteArray source = author::writeSource(*edition, *data);

    // Leave an unchanged source alone so nothing downstream rebuilds.
    QFile existing(output);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == source)
        return 0;
    existing.close();
    QSaveFile out(output);
    if (!out.open(QIODevice::WriteOnly) || out.write(source) != source.size() || !out.commit())
        return refuse(output, out.errorString());
    return 0;
}
