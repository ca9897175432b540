// Start-up cost of the answer engine over this edition's data, and one check of a near miss.
#include "data/edition.h"
#include "engine/check.h"
#include "engine/cp1252.h"

#include <benchmark/benchmark.h>

namespace {

// The plain text of variant 1, rebuilt from the data so the benchmark holds no answer.
std::array<QString, engine::kQuestions + 1> plainAnswers(const engine::AnswerTables& t) {
    std::array<QString, engine::kQuestions + 1> out;
    for (int q = 1; q <= engine::kQuestions; ++q) {
        for (int p = 1; p <= t.reponses.length(1, q); ++p) {
            const int x = edition::tables().lowestPlainCode(q, 1, t.reponses.at(1, q, p));
            out[q].append(cp1252::toUnicode(static_cast<unsigned char>(x)));
        }
    }
    return out;
}

void BM_Unpack(benchmark::State& state) {
    const auto captions = edition::packedCaptions();
    for (auto _ : state)
        benchmark::DoNotOptimize(engine::unpackRecords(captions));
}
BENCHMARK(BM_Unpack);

// What start-up does after reading the saved answers: thirty checks, each followed by
// the count and the ranking code; here every answer is found.
void BM_ThirtyStartupChecks(benchmark::State& state) {
    const engine::TableSet& tables = edition::tables();
    const engine::AnswerTables answers = engine::unpackRecords(edition::packedCaptions());
    const auto typed = plainAnswers(answers);
    for (auto _ : state) {
        std::array<QString, engine::kQuestions + 1> boxes = typed;
        std::array<bool, engine::kQuestions + 1> bold{};
        QString caption;
        for (int q = 1; q <= engine::kQuestions; ++q) {
            const engine::CheckResult r =
                engine::checkAnswer(tables, answers.reponses, q, boxes[q]);
            boxes[q] = r.plain.value_or(r.trimmed);
            bold[q] = r.bold;
            int count = 0;
            for (int i = 1; i <= engine::kQuestions; ++i)
                count += bold[i];
            caption = engine::rankingCode(tables, answers.codes, count, false, boxes).caption;
        }
        if (caption.size() != 6)
            state.SkipWithError("not all thirty found");
        benchmark::DoNotOptimize(caption);
    }
}
BENCHMARK(BM_ThirtyStartupChecks)->Unit(benchmark::kMicrosecond);

// The longest answer with two neighbours swapped: every variant is scored in full.
void BM_NearMissCheck(benchmark::State& state) {
    const engine::TableSet& tables = edition::tables();
    const engine::AnswerTables answers = engine::unpackRecords(edition::packedCaptions());
    const auto plain = plainAnswers(answers);
    int longest = 1;
    for (int q = 1; q <= engine::kQuestions; ++q) {
        if (plain[q].size() > plain[longest].size())
            longest = q;
    }
    QString typed = plain[longest];
    std::swap(typed[3], typed[4]);
    for (auto _ : state) {
        const engine::CheckResult r = engine::checkAnswer(tables, answers.reponses, longest, typed);
        benchmark::DoNotOptimize(r.closeness);
    }
}
BENCHMARK(BM_NearMissCheck);

void BM_BuildTableSet(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(engine::TableSet(edition::tableData()));
}
BENCHMARK(BM_BuildTableSet);

} // namespace

BENCHMARK_MAIN();
