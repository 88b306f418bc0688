// End-to-end latencies of the Linux desktop layer through real servers; run it on the headless
// desktop: scripts/desktop run -- build/release/bench/bench_desktop_latency
//
//   key event → handler      an XTest press by another client until our key source's handler runs
//   capture start → buffer   AudioInput::start() until the first microphone buffer (the path of a
//                            hotkey press: the recording starts on the key-down signal)
//   paste chord → text       the synthesised Control+V until the text window reports the text
#include "SpinUntil.h"
#include "core/hotkey/KeyCodes.h"
#include "core/time/SystemClock.h"
#include "platform/linux/input/SyntheticKeyLedger.h"
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/qt/QtClipboardPasteboard.h"
#include "platform/linux/x11/X11ClipboardReader.h"
#include "platform/linux/x11/X11ConnectionProvider.h"
#include "platform/linux/x11/X11KeyEventSource.h"
#include "platform/linux/x11/XTestKeySynthesizer.h"

#include <QCoroTask>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

// Each repetition is one measurement, so the report's median is the median of the measurements;
// what they share is made once.
SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}

void keyEventToHandler(benchmark::State& state) {
    static std::atomic<Clock::time_point> received{};
    static X11KeyEventSource source(systemClock(), std::make_shared<SyntheticKeyLedger>());
    static const bool started = source.start([](const KeyEvent&) { received = Clock::now(); });
    static Display* display = XOpenDisplay(nullptr);
    if (!started || !display) {
        state.SkipWithError("the key source cannot start");
        return;
    }
    const int key = XKeysymToKeycode(display, XStringToKeysym("F12"));
    if (key == 0) {
        state.SkipWithError("the keyboard has no F12");
        return;
    }
    for (auto _ : state) {
        for (const bool press : {true, false}) {
            received = Clock::time_point{};
            const Clock::time_point sent = Clock::now();
            XTestFakeKeyEvent(display, static_cast<unsigned int>(key), press ? True : False, CurrentTime);
            XFlush(display);
            if (!spinUntil([&] { return received.load() != Clock::time_point{}; })) {
                state.SkipWithError("no key event arrived");
                return;
            }
            if (press) {
                state.SetIterationTime(std::chrono::duration<double>(received.load() - sent).count());
            }
        }
    }
}

void captureStartToFirstBuffer(benchmark::State& state) {
    // Connected once, as in the application, where the input lives for the whole run.
    static PulseAudioInput input;
    static const bool authorized = input.isAuthorized();
    if (!authorized) {
        state.SkipWithError("no microphone");
        return;
    }
    static std::atomic<Clock::time_point> firstBuffer{};
    for (auto _ : state) {
        firstBuffer = Clock::time_point{};
        const Clock::time_point pressed = Clock::now();
        const auto started = QCoro::waitFor(input.start(
            [](const void*, std::size_t, const AudioFormat&) {
                Clock::time_point expected{};
                firstBuffer.compare_exchange_strong(expected, Clock::now());
            },
            nullptr));
        if (!started.ok() || !spinUntil([&] { return firstBuffer.load() != Clock::time_point{}; })) {
            state.SkipWithError("the microphone delivered nothing");
            break;
        }
        input.stop();
        state.SetIterationTime(std::chrono::duration<double>(firstBuffer.load() - pressed).count());
    }
}

// The text window the pastes go into, started once.
class TextWindow {
public:
    TextWindow() {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { read(); });
        m_process.start(QStringLiteral(ORLAVO_TEST_WINDOW_PATH),
                        {QStringLiteral("--class"), QStringLiteral("OrlavoBench"),
                         QStringLiteral("--instance"), QStringLiteral("orlavo-bench")});
        m_ready = spinUntil([this] { return m_active; });
    }
    ~TextWindow() {
        m_process.write("quit\n");
        m_process.waitForFinished(3000);
    }
    TextWindow(const TextWindow&) = delete;
    TextWindow& operator=(const TextWindow&) = delete;

    bool isReady() const { return m_ready; }
    QString text() const { return m_text; }

private:
    void read() {
        m_output.append(m_process.readAllStandardOutput());
        qsizetype end = 0;
        while ((end = m_output.indexOf('\n')) >= 0) {
            const QByteArray line = m_output.left(end);
            m_output.remove(0, end + 1);
            if (line == "active") {
                m_active = true;
            } else if (line.startsWith("text ")) {
                m_text = QUrl::fromPercentEncoding(line.mid(5));
            }
        }
    }

    QProcess m_process;
    QByteArray m_output;
    QString m_text;
    bool m_active = false;
    bool m_ready = false;
};

void pasteChordToVisibleText(benchmark::State& state) {
    static TextWindow window;
    static XTestKeySynthesizer synthesizer(std::make_shared<X11ConnectionProvider>(),
                                           std::make_shared<SyntheticKeyLedger>(), systemClock());
    static QtClipboardPasteboard pasteboard(
        std::make_unique<X11ClipboardReader>(std::make_shared<X11ConnectionProvider>()));
    static int round = 0;
    if (!window.isReady()) {
        state.SkipWithError("the text window did not come up");
        return;
    }
    for (auto _ : state) {
        const QString dictated = QStringLiteral("dictation %1").arg(++round);
        // Select what the last round pasted, so that this paste replaces it.
        (void)synthesizer.tapKey(0x00, ModifierFlags::control);
        pasteboard.setText(dictated);
        const Clock::time_point chord = Clock::now();
        (void)synthesizer.tapKey(KeyCodes::v, ModifierFlags::control);
        if (!spinUntil([&] { return window.text() == dictated; })) {
            state.SkipWithError("the paste did not arrive");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - chord).count());
    }
}

} // namespace

BENCHMARK(keyEventToHandler)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1)
    ->Repetitions(200)
    ->ReportAggregatesOnly(true);
BENCHMARK(captureStartToFirstBuffer)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(40)
    ->ReportAggregatesOnly(true);
BENCHMARK(pasteChordToVisibleText)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(40)
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
    return 0;
}
