// Cost of one full relayout and of one focus-following scroll, on an offscreen window.
#include "fixtures/stand_in_form.h"
#include "layout/form_layout.h"
#include "layout/scrolling.h"

#include <QApplication>

#include <benchmark/benchmark.h>

using namespace layout;

static void BM_ComputeLayout(benchmark::State& state) {
    LayoutInput in;
    for (auto _ : state) {
        in.outerHeight = in.outerHeight == 10545 ? 6000 : 10545;
        benchmark::DoNotOptimize(computeLayout(in));
    }
}
BENCHMARK(BM_ComputeLayout);

// Two sizes in turn, so every control really moves each time.
static void BM_FormResize(benchmark::State& state) {
    testing::StandInForm form;
    Scrolling scrolling(form.controls());
    form.window()->show();
    bool big = false;
    for (auto _ : state) {
        big = !big;
        state.PauseTiming();
        form.window()->resize(big ? QSize(1280, 1000) : QSize(894, 300));
        state.ResumeTiming();
        Form_Resize(form.controls());
    }
}
BENCHMARK(BM_FormResize)->Unit(benchmark::kMicrosecond);

// Focus on the last panel from the top of a short window: 31 steps of 100 twips, each with a
// synchronous repaint of the whole window.
static void BM_FocusFollow(benchmark::State& state) {
    testing::StandInForm form;
    Scrolling scrolling(form.controls());
    form.window()->resize(894, 300);
    Form_Resize(form.controls());
    form.window()->show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        form.controls().VScroll->setValue(0);
        state.ResumeTiming();
        scrolling.Txt_GotFocus(30);
    }
    state.counters["steps"] = form.controls().VScroll->value() / 100;
}
BENCHMARK(BM_FocusFollow)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
