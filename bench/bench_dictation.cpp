#include "DictationRig.h"

#include <benchmark/benchmark.h>
#include <chrono>

// The controller's own share of a dictation, with every service answering at once and no fixed
// pause in the way (no backtrack, no auto-send): what the user waits for beyond the network and
// the recogniser.
namespace {

using Clock = std::chrono::steady_clock;

QString sixtyWords() {
    QStringList words;
    for (int i = 0; i < 60; ++i) {
        words << QStringLiteral("word%1").arg(i % 17);
    }
    return words.join(QLatin1Char(' '));
}

// A dictation with every pass at work: polish and prompt condensing on, a 60-word transcript.
struct BenchRig {
    BenchRig() {
        PTTSettings settings = PTTSettings::defaults();
        settings.polishLevel = PolishLevel::medium;
        settings.promptPruningEnabled = true;
        rig.settingsStore.save(settings);
        rig.settingsStore.markSetupCompleted();
        rig.log.clear();
        rig.backend.defaultTranscription = FakeBackendClient::transcript(sixtyWords());
        for (int i = 0; i < 50; ++i) {
            rig.text.snippets.insert(QStringLiteral("snippet %1").arg(i), QStringLiteral("body"));
        }
        rig.start();
        rig.scheduler.advance(1);
        // The fakes' own logs would grow without end.
        rig.backend.log = nullptr;
        rig.capture.log = nullptr;
        rig.paste.log = nullptr;
        rig.overlay.log = nullptr;
        rig.text.log = nullptr;
        rig.appContext.log = nullptr;
        rig.sounds.log = nullptr;
    }

    void resetRecords() {
        rig.backend.uploads.clear();
        rig.backend.edits.clear();
        rig.backend.warmUps.clear();
        rig.paste.pasted.clear();
        rig.overlay.calls.clear();
        rig.sounds.played.clear();
    }

    DictationRig rig;
};

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void BM_KeyReleaseToUpload(benchmark::State& state) {
    BenchRig bench;
    Clock::time_point uploadAt;
    bench.rig.backend.onUpload = [&uploadAt] { uploadAt = Clock::now(); };
    for (auto _ : state) {
        bench.rig.monitor.send(HotkeySignal::keyDown);
        const Clock::time_point released = Clock::now();
        bench.rig.monitor.send(HotkeySignal::keyUp);
        state.SetIterationTime(seconds(released, uploadAt));
        if (bench.rig.controller().isProcessing() || bench.rig.paste.pasted.size() != 1) {
            state.SkipWithError("the dictation did not finish");
            break;
        }
        bench.resetRecords();
    }
}
// Each round also runs the rest of the pipeline, whose statistics grow with every row: a fixed
// count keeps the run short.
BENCHMARK(BM_KeyReleaseToUpload)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_TranscriptToPaste(benchmark::State& state) {
    BenchRig bench;
    Clock::time_point answeredAt;
    Clock::time_point pastedAt;
    bench.rig.backend.onTranscriptionAnswer = [&answeredAt] { answeredAt = Clock::now(); };
    bench.rig.paste.onPaste = [&pastedAt] { pastedAt = Clock::now(); };
    for (auto _ : state) {
        bench.rig.monitor.send(HotkeySignal::keyDown);
        bench.rig.monitor.send(HotkeySignal::keyUp);
        state.SetIterationTime(seconds(answeredAt, pastedAt));
        if (bench.rig.backend.edits.size() != 2) {
            state.SkipWithError("polish and condensing did not both run");
            break;
        }
        bench.resetRecords();
    }
}
BENCHMARK(BM_TranscriptToPaste)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The whole press-to-outcome round, statistics row and refresh included.
void BM_WholeDictation(benchmark::State& state) {
    BenchRig bench;
    for (auto _ : state) {
        bench.rig.monitor.send(HotkeySignal::keyDown);
        bench.rig.monitor.send(HotkeySignal::keyUp);
        bench.resetRecords();
    }
}
BENCHMARK(BM_WholeDictation)->Iterations(2000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
