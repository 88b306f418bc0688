// From the hotkey going down to the first microphone buffer, through the real controller, the real
// capture on PulseAudio and the real selection read over the accessibility bus; run it on the
// headless desktop: scripts/desktop run -- build/release/bench/bench_dictation_start
//
//   keyDownToFirstBuffer/0   text is selected in a field that answers
//   keyDownToFirstBuffer/1   the focused field has stopped answering (its selection read times out)
//
// The rest of the controller's services are the tests' fakes: they answer at once.
#include "DictationRig.h"
#include "SpinUntil.h"
#include "core/audio/AudioCaptureService.h"
#include "core/paste/PasteService.h"
#include "core/paste/PermissionService.h"
#include "core/time/QtScheduler.h"
#include "platform/linux/atspi/AtspiSelectedTextReader.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/qt/QtClipboardPasteboard.h"
#include "platform/linux/x11/X11ClipboardReader.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11FrontApplication.h"
#include "platform/linux/x11/X11PermissionProbe.h"
#include "platform/linux/x11/X11Properties.h"
#include "platform/linux/x11/XTestKeySynthesizer.h"

#include <QGuiApplication>
#include <QProcess>

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// The microphone, noting when the first buffer of each recording arrives.
class FirstBufferInput final : public AudioInput {
public:
    explicit FirstBufferInput(AudioInput& input)
        : m_input(input) {}

    bool isAuthorized() const override { return m_input.isAuthorized(); }
    QCoro::Task<Result<void>> start(BufferHandler onBuffer, FailureHandler onFailure) override {
        return m_input.start(
            [this, onBuffer = std::move(onBuffer)](const void* data, std::size_t frames,
                                                   const AudioFormat& format) {
                Clock::time_point none{};
                firstBuffer.compare_exchange_strong(none, Clock::now());
                onBuffer(data, frames, format);
            },
            std::move(onFailure));
    }
    void stop() override { m_input.stop(); }

    std::atomic<Clock::time_point> firstBuffer{};

private:
    AudioInput& m_input;
};

// The tests' text window with its text selected, in front.
class SelectedField {
public:
    SelectedField() {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_output.append(m_process.readAllStandardOutput()); });
        m_process.start(QStringLiteral(ORLAVO_TEST_WINDOW_PATH),
                        {QStringLiteral("--class"), QStringLiteral("OrlavoSelection"),
                         QStringLiteral("--instance"), QStringLiteral("orlavo-selection"),
                         QStringLiteral("--text"), QStringLiteral("selected words")});
        m_ready = spinUntil([this] { return m_output.contains("active"); }) && command("select", "selected");
    }
    ~SelectedField() {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    SelectedField(const SelectedField&) = delete;
    SelectedField& operator=(const SelectedField&) = delete;

    bool isReady() const { return m_ready; }
    bool command(const QByteArray& line, const QByteArray& answer) {
        m_output.clear();
        m_process.write(line + '\n');
        return spinUntil([&] { return m_output.contains(answer); });
    }

private:
    QProcess m_process;
    QByteArray m_output;
    bool m_ready = false;
};

// Everything one controller needs, made once and torn down before the application.
struct Desktop {
    Desktop()
        : reader([connections = connections] { return X11Properties::activeProcess(*connections); }) {
        // The reader learns where the focus is from the events that follow its start.
        listening = spinUntil([this] { return reader.isListening(); }, 10000);
        field = std::make_unique<SelectedField>();
        rig.settingsStore.markSetupCompleted();
        controller =
            std::make_unique<PTTAppState>(PTTAppStateDependencies{.settingsStore = rig.settingsStore,
                                                                  .keychain = rig.keychain,
                                                                  .database = rig.database,
                                                                  .backend = rig.backend,
                                                                  .hotkeyMonitor = rig.monitor,
                                                                  .audioCapture = capture,
                                                                  .paste = paste,
                                                                  .permissions = permissions,
                                                                  .overlay = rig.overlay,
                                                                  .appContext = rig.appContext,
                                                                  .textProcessing = rig.text,
                                                                  .notes = rig.notes,
                                                                  .scheduler = scheduler,
                                                                  .frontApplication = front,
                                                                  .sounds = rig.sounds,
                                                                  .fileChooser = nullptr,
                                                                  .processLauncher = nullptr,
                                                                  .ejectRemapCommand = std::nullopt});
    }

    std::shared_ptr<X11ConnectionProvider> connections = std::make_shared<X11ConnectionProvider>();
    QtScheduler scheduler;
    AtspiSelectedTextReader reader;
    bool listening = false;
    std::unique_ptr<SelectedField> field;
    PulseAudioInput pulse;
    FirstBufferInput input{pulse};
    AudioCaptureService capture{input, scheduler};
    XTestKeySynthesizer synthesizer{connections, std::make_shared<SyntheticKeyLedger>(), scheduler.clock()};
    QtClipboardPasteboard pasteboard{std::make_unique<X11ClipboardReader>(connections)};
    X11FrontApplication front{connections, {}};
    PasteService paste{pasteboard, synthesizer, reader, front, scheduler};
    X11PermissionProbe probe{connections, pulse};
    PermissionService permissions{probe};
    DictationRig rig;
    std::unique_ptr<PTTAppState> controller;
};

std::unique_ptr<Desktop> desktop;

void keyDownToFirstBuffer(benchmark::State& state) {
    if (!desktop) {
        desktop = std::make_unique<Desktop>();
    }
    if (!desktop->listening || !desktop->field->isReady() || !desktop->pulse.isAuthorized()) {
        state.SkipWithError("the accessibility bus, the text window or the microphone is missing");
        return;
    }
    const bool hung = state.range(0) != 0;
    if (hung && !desktop->field->command("freeze 600", "frozen")) {
        state.SkipWithError("the text window did not freeze");
        return;
    }
    for (auto _ : state) {
        desktop->input.firstBuffer = Clock::time_point{};
        const Clock::time_point pressed = Clock::now();
        desktop->controller->handleHotkey(HotkeySignal::keyDown);
        if (!spinUntil([] { return desktop->input.firstBuffer.load() != Clock::time_point{}; })) {
            state.SkipWithError("the microphone delivered nothing");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(desktop->input.firstBuffer.load() - pressed).count());
        desktop->controller->handleHotkey(HotkeySignal::cancel);
        // The next press finds the microphone closed and the island settled.
        spinUntil([] { return desktop->capture.state() == IAudioCaptureService::State::idle; });
    }
    if (hung) {
        // Whatever waits on the frozen window gives up at its time limit; the window goes with it.
        desktop.reset();
    }
}

} // namespace

BENCHMARK(keyDownToFirstBuffer)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(30)
    ->ReportAggregatesOnly(true);

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("ORLAVO_DESKTOP_DIR")) {
        std::fprintf(stderr, "run it on the headless desktop: scripts/desktop run -- %s\n", argv[0]);
        return 0;
    }
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    desktop.reset();
    return 0;
}
