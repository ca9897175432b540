// Start-up cost: reading the saved answers, building the window with its Form_Load, and
// writing the answers back.
#include "window/frm_dorlo.h"
#include "window/saved_answers.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

std::array<QString, 31> fullAnswers() {
    std::array<QString, 31> t;
    for (int n = 1; n <= 30; ++n)
        t[n] = QStringLiteral("Une réponse de trente lettres");
    return t;
}

void BM_ParseSavedAnswers(benchmark::State& state) {
    const QByteArray bytes = window::formatSavedAnswers(fullAnswers(), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(window::parseSavedAnswers(bytes));
}
BENCHMARK(BM_ParseSavedAnswers);

// A file of one endless line: start-up reads at most its first mebibyte.
void BM_ParseHugeLine(benchmark::State& state) {
    const QByteArray bytes(window::kMaxFileBytes, 'x');
    for (auto _ : state)
        benchmark::DoNotOptimize(window::parseSavedAnswers(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ParseHugeLine);

void BM_FormatSavedAnswers(benchmark::State& state) {
    const auto answers = fullAnswers();
    for (auto _ : state)
        benchmark::DoNotOptimize(window::formatSavedAnswers(answers, false));
}
BENCHMARK(BM_FormatSavedAnswers);

// Building every control, unpacking the records and checking 30 restored answers.
void BM_WindowStartUp(benchmark::State& state) {
    QTemporaryDir dir;
    window::ProgramSettings s = window::ProgramSettings::current();
    s.folder = dir.path();
    s.fallbackFolder = dir.path();
    s.executableName = QStringLiteral("bench");
    for (auto _ : state) {
        window::FrmDorlo form(s);
        benchmark::DoNotOptimize(form.LblNbR1);
    }
}
BENCHMARK(BM_WindowStartUp)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
