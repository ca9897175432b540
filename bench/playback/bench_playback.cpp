// Cutting the longest clip out of the store, beside a plain copy of the same bytes; and
// what a play press costs the interface thread (the sound itself comes later, on the
// output's thread: bench/latency measures click to sound).
#include "data/clip_table.h"
#include "engine/records.h"
#include "fixtures/test_stores.h"
#include "playback/media_player.h"
#include "playback/playback_control.h"
#include "playback/volume.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

constexpr int kLongest = 9; // 78392 bytes

struct StoreFixture {
    QTemporaryDir dir;
    playback::ExcerptFiles files;

    explicit StoreFixture(const QByteArray& store) {
        files.CheminDat = playback::storePath(dir.path());
        files.DossierTemp = dir.path() + '/';
        testing::writeFile(files.CheminDat, store);
    }
};

void BM_ExtractLongestClip(benchmark::State& state) {
    StoreFixture f(testing::patternStore(edition::storeLength()));
    for (auto _ : state) {
        f.files.chooseNextName();
        if (!f.files.extract(kLongest))
            state.SkipWithError("extraction failed");
    }
    state.SetBytesProcessed(state.iterations() * edition::clipLength(kLongest));
}
BENCHMARK(BM_ExtractLongestClip);

void BM_PlainCopySameBytes(benchmark::State& state) {
    StoreFixture f(testing::patternStore(edition::storeLength()));
    const QString target = f.files.DossierTemp + "copy.mp3";
    for (auto _ : state) {
        // Into a fresh file like the extraction: truncating a file just written costs
        // a flush on some file systems and would measure that instead.
        QFile::remove(target);
        QFile in(f.files.CheminDat);
        QFile out(target);
        in.open(QIODevice::ReadOnly);
        in.seek(edition::clipStart(kLongest));
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(in.read(edition::clipLength(kLongest)));
    }
    state.SetBytesProcessed(state.iterations() * edition::clipLength(kLongest));
}
BENCHMARK(BM_PlainCopySameBytes);

// The press alone: cutting the clip out, opening it and starting the output's stream.
// `unprepared` brings up a new player each time, so the press also loads the output and
// connects it to the sound server, as when a press comes before the output is prepared.
void playPress(benchmark::State& state, bool unprepared) {
    StoreFixture f(testing::playableStore(testing::mp3Frames(1.0)));
    QWidget form;
    auto* knob = new playback::VolumeKnob(&form);
    std::unique_ptr<playback::MediaPlayer> mp;
    std::unique_ptr<playback::PlaybackControl> control;
    auto build = [&] {
        control.reset();
        mp = std::make_unique<playback::MediaPlayer>();
        control = std::make_unique<playback::PlaybackControl>(
            &form, playback::PlaybackControl::Controls{nullptr, nullptr, knob, mp.get()}, f.files);
    };
    build();
    for (auto _ : state) {
        if (unprepared) {
            state.PauseTiming();
            build();
            state.ResumeTiming();
        }
        QElapsedTimer clock;
        clock.start();
        control->Cmd_Click(kLongest);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        if (mp->playState() != playback::MediaPlayer::Playing)
            state.SkipWithError("the press did not start a play");
        state.PauseTiming();
        control->Cmd_Click(engine::kQuestions + kLongest); // its stop button, off the clock
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    control.reset();
    mp.reset();
}

void BM_PlayPress(benchmark::State& state) {
    playPress(state, false);
}
void BM_PlayPressUnpreparedOutput(benchmark::State& state) {
    playPress(state, true);
}
BENCHMARK(BM_PlayPress)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayPressUnpreparedOutput)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
