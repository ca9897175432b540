// Saves the answers file in <folder>/game.REP for ever through the game's own saving code,
// alternating the two contents of two_contents.h; prints one line once the first save is
// done. The fault test kills it at random moments.
#include "two_contents.h"
#include "window/answers_file.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const QString beside = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/game.REP");
    window::AnswersFile file(beside, QString());
    file.load();
    const QByteArray contents[2] = {robustness::oldContent(), robustness::newContent()};
    for (unsigned long n = 1;; ++n) {
        if (!file.save(contents[n % 2]))
            return 1;
        if (n == 1) {
            std::puts("saving");
            std::fflush(stdout);
        }
    }
}
