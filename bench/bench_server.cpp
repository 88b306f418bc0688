#include "ServerProcess.h"
#include "Speech.h"
#include "WavBytes.h"
#include "server/auth/ServerToken.h"
#include "server/config/ServerConfig.h"
#include "server/engines/LocalSpeechEngine.h"
#include "server/http/HttpServer.h"
#include "server/service/PttService.h"
#include "server/wav/AudioNormalizer.h"
#include "server/wav/WavParser.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <benchmark/benchmark.h>
#include <thread>

namespace {

const QString sentences = QStringLiteral(
    "please send the reports to the team on friday morning. the meeting starts at ten in the morning. "
    "i would like to order a large pizza with cheese. the weather is nice today and we will go for a walk.");

// About ten seconds of speech, made once.
const AudioClip& tenSecondsOfSpeech() {
    static const AudioClip clip = [] {
        const QByteArray wav = Speech::say(sentences);
        const auto audio = WavParser::parse(std::string_view(wav.constData(), std::size_t(wav.size())));
        return audio.ok() ? AudioNormalizer::toClip(audio.value()).valueOr(AudioClip{}) : AudioClip{};
    }();
    return clip;
}

// How many times faster than real time the offline recogniser decodes, per decoder and, with
// two threads, for the machine.
void BM_LocalEngineSpeed(benchmark::State& state) {
    static std::unique_ptr<LocalSpeechEngine> engine = [] {
        auto created = LocalSpeechEngine::create(ServerConfig::defaults().localModelDirectory, 2);
        return created.ok() ? std::move(created).value() : nullptr;
    }();
    const AudioClip& clip = tenSecondsOfSpeech();
    if (!engine || clip.samples.empty()) {
        state.SkipWithError("no offline model or no espeak-ng");
        return;
    }
    const TranscriptionJob job{clip, LanguageHint::parse(""), {}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine->transcribe(job));
    }
    state.counters["audio_s"] = clip.durationSeconds();
    state.counters["realtime_x"] =
        benchmark::Counter(clip.durationSeconds() * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LocalEngineSpeed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LocalEngineSpeed)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(2)->Iterations(3);

// An engine that answers at once, so what is measured is the service around it.
class InstantEngine final : public TranscriptionEngine {
public:
    Result<Transcript> transcribe(const TranscriptionJob&) override {
        return Transcript{"hello world", "en"};
    }
    std::string describe() const override { return "instant"; }
};

struct InProcessServer {
    HttpServer server{HttpLimits{}};
    std::unique_ptr<PttService> service;
    std::thread thread;
    int port = 0;

    InProcessServer() {
        ServiceEngines engines;
        engines.transcription = std::make_shared<InstantEngine>();
        service =
            std::make_unique<PttService>(ServiceSettings{}, *ServerToken::fromText("bench-token"), engines);
        service->install(server);
        server.set_logger([](const httplib::Request&, const httplib::Response&) {});
        port = server.bindTo("127.0.0.1", 0);
        thread = std::thread([this] { server.listen_after_bind(); });
    }
    ~InProcessServer() {
        server.stop();
        thread.join();
    }
};

// One request over a kept connection, the engine excluded: HTTP, screening, WAV parsing and
// JSON.
void BM_RequestOverhead(benchmark::State& state) {
    InProcessServer server;
    httplib::Client client("127.0.0.1", server.port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true); // as Qt's HTTP client does
    const httplib::Headers headers{{"Authorization", "Bearer bench-token"}};
    const QByteArray wav = WavBytes::tone({}, double(state.range(0)) / 1000.0);
    for (auto _ : state) {
        const auto answer = state.range(0) == 0 ? client.Get("/v1/ptt/health")
                                                : client.Post("/v1/ptt/transcribe", headers, wav.constData(),
                                                              std::size_t(wav.size()), "audio/wav");
        if (!answer || answer->status != 200) {
            state.SkipWithError("request failed");
            break;
        }
    }
}
BENCHMARK(BM_RequestOverhead)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMicrosecond)
    ->ArgName("audio_ms");

long statusKilobytes(qint64 pid, const char* field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const auto match = QRegularExpression(QStringLiteral("%1:\\s+(\\d+) kB").arg(QLatin1String(field)))
                           .match(QString::fromUtf8(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

// Resident memory of the real server with the offline engine: idle after start, and the peak
// while 16 clients transcribe at once (decoders grow to one per core on demand).
void BM_ServerResidentMemory(benchmark::State& state) {
    const QByteArray wav = Speech::say(QStringLiteral("the meeting starts at ten in the morning"));
    for (auto _ : state) {
        ServerProcess server;
        QString failure;
        if (!server.start(&failure)) {
            state.SkipWithError(qPrintable(failure));
            return;
        }
        const qint64 pid = server.processId();
        state.counters["idle_MB"] = double(statusKilobytes(pid, "VmRSS")) / 1024.0;
        std::vector<std::thread> clients;
        std::atomic<int> answered{0};
        for (int i = 0; i < 16; ++i) {
            clients.emplace_back([&] {
                const auto answer =
                    server.client()->Post("/v1/ptt/transcribe", server.authorization(), wav.constData(),
                                          std::size_t(wav.size()), "audio/wav");
                answered += answer && answer->status == 200 ? 1 : 0;
            });
        }
        for (std::thread& client : clients) {
            client.join();
        }
        state.counters["answered"] = answered.load();
        state.counters["peak_MB"] = double(statusKilobytes(pid, "VmHWM")) / 1024.0;
        state.counters["after_MB"] = double(statusKilobytes(pid, "VmRSS")) / 1024.0;
    }
}
BENCHMARK(BM_ServerResidentMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv); // for QProcess
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
