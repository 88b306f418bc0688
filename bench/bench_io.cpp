#include "AudioSignal.h"
#include "GeneratedAudioInput.h"
#include "RecordingKeySynthesizer.h"
#include "ScriptedKeyEventSource.h"
#include "VirtualScheduler.h"
#include "core/audio/AudioCaptureService.h"
#include "core/audio/PcmNormalizer.h"
#include "core/audio/WavFile.h"
#include "core/hotkey/HotkeyMonitor.h"
#include "core/hotkey/KeyCodes.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <new>

// Counts heap allocations, so that the hot paths can show they make none.
namespace {
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

template <typename T>
QCoro::Task<> into(QCoro::Task<T> task, std::optional<T>& outcome) {
    outcome = co_await std::move(task);
}

// Typing with the hotkey in between: a plain key, then a hold of the bound chord.
void BM_HotkeyEvent(benchmark::State& state) {
    VirtualScheduler scheduler;
    ScriptedKeyEventSource keys;
    RecordingKeySynthesizer synthesizer;
    const quint64 chord = ModifierFlags::control | ModifierFlags::option;
    HotkeyMonitor monitor(HotkeyBinding{49, chord, GestureMode::pushToTalk}, keys, synthesizer, scheduler);
    long emitted = 0;
    monitor.setOnSignal([&emitted](HotkeySignal) { ++emitted; });
    monitor.start();

    KeyEvent events[4];
    events[0] = KeyEvent{KeyEvent::Type::keyDown, 0, 0, false, 0, std::nullopt};
    events[1] = KeyEvent{KeyEvent::Type::keyUp, 0, 0, false, 0, std::nullopt};
    events[2] = KeyEvent{KeyEvent::Type::keyDown, 49, chord, false, 0, std::nullopt};
    events[3] = KeyEvent{KeyEvent::Type::keyUp, 49, chord, false, 0, std::nullopt};
    std::size_t next = 0;
    const long before = allocations.load();
    for (auto _ : state) {
        keys.deliver(events[next]);
        next = (next + 1) & 3;
    }
    state.counters["allocs/event"] =
        benchmark::Counter(double(allocations.load() - before) / double(state.iterations()));
    benchmark::DoNotOptimize(emitted);
}
BENCHMARK(BM_HotkeyEvent);

// One 10 ms buffer of 48 kHz stereo float through conversion, hand-over and level; the main
// thread's share (taking the samples and the level) runs outside the measured time, as it would
// on its own thread.
void BM_AudioCallback10ms(benchmark::State& state) {
    VirtualScheduler scheduler;
    GeneratedAudioInput input;
    AudioCaptureService service(input, scheduler);
    float lastLevel = 0;
    service.setOnAudioLevel([&lastLevel](float level) { lastLevel = level; });
    std::optional<Result<void>> started;
    auto task = into(service.startCapture(), started);
    if (!started || !started->ok()) {
        state.SkipWithError("capture did not start");
        return;
    }
    const AudioFormat format{48000, 2, AudioFormat::SampleType::float32};
    const std::vector<float> buffer = AudioSignal::sine(440, 0.3, 48000, 2, 0.01);
    long measuredAllocations = 0;
    long buffers = 0;
    for (auto _ : state) {
        const long before = allocations.load();
        const auto begin = std::chrono::steady_clock::now();
        input.deliver(buffer.data(), 480, format);
        const auto end = std::chrono::steady_clock::now();
        measuredAllocations += allocations.load() - before;
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        scheduler.advance(0.01);
        if (++buffers == 6000) { // a minute of audio; start the next one
            buffers = 0;
            benchmark::DoNotOptimize(service.stopCapture());
            task = into(service.startCapture(), started);
        }
    }
    state.counters["allocs/buffer"] =
        benchmark::Counter(double(measuredAllocations) / double(state.iterations()));
    benchmark::DoNotOptimize(lastLevel);
    service.cancelCapture();
}
BENCHMARK(BM_AudioCallback10ms)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The end of a minute-long recording: normalise (a quiet one, so every sample is scaled) and
// wrap in a WAV.
void BM_NormalizeAndWav60s(benchmark::State& state) {
    std::vector<qint16> recording;
    for (const float value : AudioSignal::sine(220, 0.06, 16000, 1, 60)) {
        recording.push_back(static_cast<qint16>(value * 32768));
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<qint16> samples = recording;
        state.ResumeTiming();
        PcmNormalizer::normalize(samples, AudioCaptureService::normalizationTarget);
        benchmark::DoNotOptimize(WavFile::fromSamples(samples));
    }
}
BENCHMARK(BM_NormalizeAndWav60s)->Unit(benchmark::kMillisecond);

// The whole stop of a minute-long 48 kHz stereo recording: drain, resampler tail, normalise, WAV.
void BM_StopCapture60s(benchmark::State& state) {
    VirtualScheduler scheduler;
    GeneratedAudioInput input;
    AudioCaptureService service(input, scheduler);
    const AudioFormat format{48000, 2, AudioFormat::SampleType::float32};
    const std::vector<float> buffer = AudioSignal::sine(440, 0.05, 48000, 2, 0.01);
    for (auto _ : state) {
        state.PauseTiming();
        std::optional<Result<void>> started;
        auto task = into(service.startCapture(), started);
        for (int index = 0; index < 6000; ++index) {
            input.deliver(buffer.data(), 480, format);
            scheduler.advance(0.01);
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(service.stopCapture());
    }
}
BENCHMARK(BM_StopCapture60s)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
