// Prints this edition's ranking codes of the eligible scores 1 to 30, one a line, for the
// scripts that drive a deployed site.
#include "ranking/code_book.h"

#include <cstdio>

int main() {
    const ranking::CodeBook book = ranking::CodeBook::ofThisEdition();
    for (int n = 1; n <= 30; ++n)
        std::printf("%s\n", qPrintable(book.codeOf({n, true})));
    return 0;
}
