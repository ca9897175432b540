// dorlo-edition-kit <answers file> <folder of 00.mp3 ... 30.mp3> <output folder>
// Writes a new edition's packed data source, its excerpt store and the store's start table.
#include "edition_kit.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: dorlo-edition-kit <answers file> <folder of 00.mp3 ... "
                             "30.mp3> <output folder>\n");
        return 2;
    }
    QString error;
    const std::optional<kit::EditionOutputs> outputs =
        kit::prepare(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), &error);
    if (!outputs || !kit::writeOutputs(*outputs, QString::fromLocal8Bit(argv[3]), &error)) {
        std::fprintf(stderr, "dorlo-edition-kit: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s: %s, %s, %s (%lld bytes)\n", argv[3], kit::kSourceName, kit::kClipTableName,
                kit::kStoreName,
                static_cast<long long>(4 * std::int64_t{outputs->debuts[kit::kClips]}));
    return 0;
}
