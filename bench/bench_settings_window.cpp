// How long the settings window takes to open, the first time in a run (cold: the QML is compiled
// and the types created) and again after closing (warm), and the resident memory with the window
// open and after it closed. The whole application is composed as `orlavo` does, on the null
// platform and in a settings folder of its own:
//   QT_QPA_PLATFORM=offscreen build/release/bench/bench_settings_window
// (or on the headless desktop with QT_QPA_PLATFORM=xcb).
#include "SpinUntil.h"
#include "app/KestrovApp.h"
#include "ui/settings/SettingsWindow.h"

#include <QApplication>
#include <QFile>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return 0;
}

// Opens the window and waits until it is drawn; seconds taken.
double openOnce(SettingsWindow& window) {
    const auto start = Clock::now();
    window.present();
    spinUntil([&] { return window.window() && window.window()->isExposed(); });
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void closeAndSettle(SettingsWindow& window) {
    window.close();
    spinUntil([&] { return !window.window(); });
    // The view is deleted later: let that happen.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

KestrovApp& app() {
    static KestrovApp instance;
    return instance;
}

void settingsWindowOpen(benchmark::State& state) {
    SettingsWindow& window = app().settingsWindow();
    static bool measured = false;
    static double cold = 0;
    static double before = 0;
    static double open = 0;
    static double closed = 0;
    if (!measured) {
        measured = true;
        QCoreApplication::processEvents();
        before = residentMegabytes();
        cold = openOnce(window);
        open = residentMegabytes();
        closeAndSettle(window);
        closed = residentMegabytes();
    }
    for (auto _ : state) {
        state.SetIterationTime(openOnce(window));
        state.PauseTiming();
        closeAndSettle(window);
        state.ResumeTiming();
    }
    state.counters["cold_ms"] = cold * 1000;
    state.counters["rss_before_MB"] = before;
    state.counters["rss_open_MB"] = open;
    state.counters["rss_closed_MB"] = closed;
    state.counters["rss_after_runs_MB"] = residentMegabytes();
}
BENCHMARK(settingsWindowOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    // Its own settings, database and instance folder: the user's are never touched.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    qputenv("ORLAVO_PLATFORM", "null");
    qputenv("PTT_SKIP_WIZARD", "1");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
