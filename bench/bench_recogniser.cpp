#include "ServerProcess.h"
#include "SpeechCorpus.h"
#include "WavBytes.h"
#include "WordErrors.h"
#include "server/config/ServerConfig.h"
#include "server/engines/LocalSpeechEngine.h"
#include "server/language/DictationModel.h"
#include "server/wav/WavEncoder.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <sys/resource.h>

// The offline recogniser's accuracy and speed on real and synthetic voices. Run with
// --benchmark_filter to pick a set; each reports word errors, the share of spoken punctuation
// heard, and how many times faster than real time it decoded, by the clock and per CPU second
// (the clock is unreliable on a shared machine). With ORLAVO_BENCH_SMOKE set, every set is cut to
// two samples, for CI; a benchmark that cannot run makes the program fail.
namespace {

bool failed = false;

void fail(benchmark::State& state, const char* reason) {
    failed = true;
    state.SkipWithError(reason);
}

int sampleLimit() {
    return qEnvironmentVariableIsSet("ORLAVO_BENCH_SMOKE") ? 2 : 1000;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

enum class Model { before, after };

// Before: the general language model on one decoder, as the engine was. After: the dictation model
// and every core.
LocalSpeechEngine* engine(Model model) {
    static std::map<Model, std::unique_ptr<LocalSpeechEngine>> engines;
    auto& slot = engines[model];
    if (!slot) {
        const std::string directory = ServerConfig::defaults().localModelDirectory;
        auto created = model == Model::before
                           ? LocalSpeechEngine::create(directory, 1, std::string())
                           : LocalSpeechEngine::create(directory, 2, DictationModel::locate());
        slot = created.ok() ? std::move(created).value() : nullptr;
    }
    return slot.get();
}

const std::vector<SpokenSample>& set(int index) {
    static std::map<int, std::vector<SpokenSample>> sets;
    auto& samples = sets[index];
    if (samples.empty()) {
        const auto synthesiser =
            index <= 2 ? SpeechCorpus::Synthesiser::espeak : SpeechCorpus::Synthesiser::flite;
        samples = index == 0 ? SpeechCorpus::librivox(sampleLimit())
                             : SpeechCorpus::spokenPunctuation(synthesiser, /*heldOut=*/index % 2 == 0,
                                                               sampleLimit());
    }
    return samples;
}

void report(benchmark::State& state, const WordErrors& errors, double audio, double wall, double cpu) {
    state.counters["wer_pct"] = 100.0 * errors.errorRate();
    state.counters["mark_recall_pct"] = 100.0 * errors.markRecall();
    state.counters["realtime_x"] = audio / wall;
    state.counters["cpu_realtime_x"] = audio / cpu;
    state.counters["audio_s"] = audio;
}

// Sets: 0 LibriVox read speech; spoken punctuation by espeak-ng, 1 in the model's text, 2 held out;
// the same by flite, 3 and 4.
void BM_Accuracy(benchmark::State& state) {
    LocalSpeechEngine* recogniser = engine(Model(state.range(1)));
    const auto& samples = set(int(state.range(0)));
    if (!recogniser || samples.empty()) {
        fail(state, "no offline model, no pocketsphinx-testdata, no espeak-ng or no flite");
        return;
    }
    for (auto _ : state) {
        WordErrors errors;
        double audio = 0;
        double wall = 0;
        const double cpuStart = cpuSeconds();
        for (const SpokenSample& sample : samples) {
            const auto start = std::chrono::steady_clock::now();
            const auto heard =
                recogniser->transcribe(TranscriptionJob{sample.clip, LanguageHint::parse(""), {}});
            wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            audio += sample.clip.durationSeconds();
            errors +=
                WordErrors::count(sample.said, heard.ok() ? QString::fromStdString(heard->text) : QString());
            if (state.range(2) && heard.ok()) {
                std::printf("%s: %s\n", qPrintable(sample.name), heard->text.c_str());
            }
        }
        report(state, errors, audio, wall, cpuSeconds() - cpuStart);
    }
}
// Arguments: set, model (0 before, 1 after), print transcripts.
BENCHMARK(BM_Accuracy)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}, {0}})
    ->ArgNames({"set", "after", "print"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// One long request: the LibriVox clips read one after another with short pauses, about 27 s.
void BM_LongRequest(benchmark::State& state) {
    LocalSpeechEngine* recogniser = engine(Model(state.range(0)));
    AudioClip clip;
    QString said;
    for (const SpokenSample& sample : set(0)) {
        clip.samples.insert(clip.samples.end(), sample.clip.samples.begin(), sample.clip.samples.end());
        clip.samples.insert(clip.samples.end(), AudioClip::sampleRate / 2, 0);
        said += sample.said + QLatin1Char(' ');
    }
    if (!recogniser || clip.samples.empty()) {
        fail(state, "no offline model or no pocketsphinx-testdata");
        return;
    }
    for (auto _ : state) {
        const double cpuStart = cpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const auto heard = recogniser->transcribe(TranscriptionJob{clip, LanguageHint::parse(""), {}});
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        report(state, WordErrors::count(said, heard.ok() ? QString::fromStdString(heard->text) : QString()),
               clip.durationSeconds(), wall, cpuSeconds() - cpuStart);
    }
}
BENCHMARK(BM_LongRequest)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("after")
    ->Iterations(3)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// Key release to transcript: a 5 s dictation sent to the real server over loopback, as the app
// sends it once the key is released.
void BM_ReleaseToTranscript(benchmark::State& state) {
    // A 5 s dictation without a pause, by an espeak-ng voice or by flite's voice made from a
    // person's recordings (slowed to the same length).
    const QString said =
        QStringLiteral("please send the reports to the team on friday morning comma thanks period");
    const AudioClip clip = state.range(1) == 0 ? SpeechCorpus::say(said, QStringLiteral("en-us+f2"), 150)
                                               : SpeechCorpus::say(said, QStringLiteral("slt"), 133,
                                                                   SpeechCorpus::Synthesiser::flite);
    ServerProcess server;
    QString failure;
    if (clip.samples.empty() || !server.start(&failure)) {
        fail(state, "no espeak-ng, no flite or the server did not start");
        return;
    }
    const std::string wav = WavEncoder::encode(clip);
    // The user's words: none, the same each time, or new words every time (the decoder builds a
    // search for them).
    const auto headers = [&](int list) {
        httplib::Headers all = server.authorization();
        if (state.range(0) > 0) {
            all.emplace("x-ptt-prompt", "Kubernetes Zorblax Quendrill" + std::to_string(list));
        }
        return all;
    };
    // Untimed: the spare decoder loads in the background after start, and each decoder builds its
    // search for the user's words when it first hears them.
    for (int warmUp = 0; warmUp < 3; ++warmUp) {
        server.client()->Post("/v1/ptt/transcribe", headers(0), wav, "audio/wav");
    }
    int request = 0;
    for (auto _ : state) {
        const int list = state.range(0) == 2 ? ++request : 0;
        const auto answer = server.client()->Post("/v1/ptt/transcribe", headers(list), wav, "audio/wav");
        if (!answer || answer->status != 200) {
            fail(state, "request failed");
            return;
        }
    }
    state.counters["audio_s"] = clip.durationSeconds();
}
// Arguments: 0 no words of the user's, 1 the same words each time, 2 new words each time; the
// voice, 0 espeak-ng, 1 flite.
BENCHMARK(BM_ReleaseToTranscript)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"words", "voice"})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv); // for QProcess
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return failed ? 1 : 0;
}
