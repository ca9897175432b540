#include "code_book.h"

#include "data/edition.h"

namespace ranking {

CodeBook::CodeBook(const engine::TableSet& tables, const engine::AnswerTables& answers) {
    std::array<QString, engine::kQuestions + 1> boxes;
    for (int q = 1; q <= engine::kQuestions; ++q)
        boxes[q] = engine::plainAnswer(tables, answers.reponses, q);
    // Eligible codes first: should a not-eligible code repeat one, the better reading wins.
    for (bool eligible : {true, false}) {
        for (int n = 1; n <= engine::kQuestions; ++n) {
            const QString code = eligible && n == engine::kQuestions
                                     ? engine::computedCode(boxes)
                                     : engine::storedCode(tables, answers.codes, n, !eligible);
            if (code.size() == 6 && !scores_.contains(code))
                scores_.insert(code, Score{n, eligible});
        }
    }
}

CodeBook CodeBook::ofThisEdition() {
    return CodeBook(edition::tables(), engine::unpackRecords(edition::packedCaptions()));
}

std::optional<Score> CodeBook::lookup(const QString& typed) const {
    const auto it = scores_.constFind(typed.trimmed().toUpper());
    if (it == scores_.cend())
        return std::nullopt;
    return *it;
}

QString CodeBook::codeOf(Score score) const {
    for (auto it = scores_.cbegin(); it != scores_.cend(); ++it) {
        if (it.value() == score)
            return it.key();
    }
    return {};
}

} // namespace ranking
