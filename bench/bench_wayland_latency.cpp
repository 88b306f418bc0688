// The paste path on Wayland through real sway: our text put on the clipboard through data control,
// Control+V typed through the virtual keyboard, until the text window (another process) reports the
// text. Run it on the headless sway: scripts/desktop run --wayland --
// build/release/bench/bench_wayland_latency
#include "SpinUntil.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/wayland/DataControlPasteboard.h"
#include "platform/linux/wayland/VirtualKeyboardKeySynthesizer.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandDataControl.h"

#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;
constexpr quint16 keyA = 0x00;

// The text window, started once; it says on standard output what it holds.
struct TextWindow {
    QProcess process;
    QByteArray output;
    QString text;
    bool active = false;

    ~TextWindow() {
        process.write("quit\n");
        process.waitForFinished(3000);
    }

    bool start() {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            output.append(process.readAllStandardOutput());
            for (qsizetype end = 0; (end = output.indexOf('\n')) >= 0; output.remove(0, end + 1)) {
                const QByteArray line = output.left(end);
                active = active || line == "active";
                if (line.startsWith("text ")) {
                    text = QUrl::fromPercentEncoding(line.mid(5));
                }
            }
        });
        process.start(QStringLiteral(ORLAVO_TEST_WINDOW_PATH),
                      {QStringLiteral("--class"), QStringLiteral("OrlavoBench"), QStringLiteral("--instance"),
                       QStringLiteral("orlavo-bench")});
        return spinUntil([this] { return active; });
    }
};

void pasteChordToVisibleText(benchmark::State& state) {
    static Result<std::unique_ptr<WaylandConnection>> connection =
        WaylandConnection::connect({}, std::chrono::seconds(5));
    static std::unique_ptr<VirtualKeyboardKeySynthesizer> keys =
        connection ? VirtualKeyboardKeySynthesizer::create(*connection.value()) : nullptr;
    static std::unique_ptr<WaylandDataControl> dataControl =
        connection ? WaylandDataControl::create(*connection.value()) : nullptr;
    static DataControlPasteboard pasteboard(std::move(dataControl));
    static TextWindow window;
    static const bool ready = keys && window.start();
    static int round = 0;
    if (!ready) {
        state.SkipWithError("no compositor with data control and a virtual keyboard, or no text window");
        return;
    }
    for (auto _ : state) {
        const QString dictated = QStringLiteral("dictation %1").arg(++round);
        // Select what the last round pasted, so that this paste replaces it.
        (void)keys->tapKey(keyA, ModifierFlags::control);
        pasteboard.setText(dictated);
        const Clock::time_point chord = Clock::now();
        (void)keys->tapKey(KeyCodes::v, ModifierFlags::control);
        if (!spinUntil([&] { return window.text == dictated; })) {
            state.SkipWithError("the paste did not arrive");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - chord).count());
    }
}

} // namespace

BENCHMARK(pasteChordToVisibleText)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(40)
    ->ReportAggregatesOnly(true);

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("ORLAVO_DESKTOP_DIR")) {
        std::fprintf(stderr, "run it on the headless sway: scripts/desktop run --wayland -- %s\n", argv[0]);
        return 0;
    }
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
