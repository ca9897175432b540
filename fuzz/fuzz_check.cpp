// The answer check on arbitrary typed text, and the ranking code on arbitrary box texts.
#include "fuzz_check.h"
#include "data/edition.h"
#include "engine/check.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

const engine::AnswerTables& answerTables() {
    static const engine::AnswerTables t = engine::unpackRecords(edition::packedCaptions());
    return t;
}

bool isCaption(const QString& s) {
    static const QStringList six = {QStringLiteral("?"),       QStringLiteral("Correct"),
                                    QStringLiteral("Faux"),    QStringLiteral(u"à peu près"),
                                    QStringLiteral("Presque"), QStringLiteral("Quasiment")};
    return six.contains(s);
}

void checkOne(int question, const QString& text) {
    const auto& tables = edition::tables();
    const engine::CheckResult r =
        engine::checkAnswer(tables, answerTables().reponses, question, text);
    FUZZ_CHECK(isCaption(r.caption));
    FUZZ_CHECK(r.bold == (r.caption == QStringLiteral("Correct")));
    FUZZ_CHECK(r.backColor == (r.bold ? engine::kGreen : engine::kRed));
    FUZZ_CHECK(r.closeness >= 0 && r.closeness <= 100);
    FUZZ_CHECK(r.trimmed == engine::trimSpaces(text));
    FUZZ_CHECK((r.caption == QStringLiteral("?")) == r.trimmed.isEmpty());
    FUZZ_CHECK(r.plain.has_value() == r.bold);
    if (r.plain) {
        // The plain answer the box then shows is itself found.
        const engine::CheckResult again =
            engine::checkAnswer(tables, answerTables().reponses, question, *r.plain);
        FUZZ_CHECK(again.bold);
    }
}

} // namespace

// Texts past the answer box's 32767 characters cost milliseconds each: checked once per
// run, on every question, rather than left to the mutations.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QString mixed;
    for (char16_t c = 0; mixed.size() < 70000; c += 7919)
        mixed.append(QChar(c)); // lone surrogates, controls, characters off the page
    const QString blanks = QString(40000, u' ') + QStringLiteral("x") + QString(40000, u' ');
    for (int q = 1; q <= 30; ++q) {
        for (qsizetype n : {32766, 32767, 32768, 70000})
            checkOne(q, mixed.left(n));
        checkOne(q, blanks);
        checkOne(q, QString(33000, u' '));
    }
    return 0;
}

// Byte 0: the question (1..30); byte 1: bit 0 sets Invalide for the ranking code; byte 2:
// the count given to the ranking code (-2..253); the rest: UTF-16 text, which also fills
// the thirty boxes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const int question = 1 + data[0] % 30;
    QString text;
    for (size_t i = 3; i + 1 < size; i += 2)
        text.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
    checkOne(question, text);

    std::array<QString, engine::kQuestions + 1> boxes;
    const qsizetype piece = text.size() / 30 + 1;
    for (int q = 1; q <= 30; ++q)
        boxes[q] = text.mid((q - 1) * piece, piece);
    const int count = int(data[2]) - 2;
    const engine::RankingCode code =
        engine::rankingCode(edition::tables(), answerTables().codes, count, data[1] & 1, boxes);
    FUZZ_CHECK(code.caption == engine::kCodePlaceholder || code.caption.size() <= 6);
    FUZZ_CHECK(code.tag.has_value() == (count >= 1 && count <= 30));
    return 0;
}
