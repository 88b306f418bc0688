#include "VirtualScheduler.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/evdev/EvdevDeviceAccess.h"
#include "platform/linux/evdev/EvdevKeyEventSource.h"
#include "platform/linux/uinput/UinputKeySynthesizer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every entry of the folder is a keyboard that answers no ioctls.
class FolderKeyboards final : public EvdevDeviceAccess {
public:
    int open(const QString& path) const override {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        return fd < 0 ? -errno : fd;
    }
    std::optional<Description> describe(int, const QString&) const override {
        Description description;
        description.reportsKeys = true;
        for (const int key : {KEY_Q, KEY_A, KEY_Z}) {
            description.keys.set(key);
        }
        return description;
    }
    std::optional<State> state(int) const override { return std::nullopt; }
};

// Key presses read from the device, through the socket notifier, up to the handler: 32 key events
// (a press and a release of 16 letters, each with its report) per iteration.
void BM_EvdevKeyEvents(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench_evdev";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("event0")));
    mkfifo(path.constData(), 0600);
    VirtualScheduler scheduler;
    EvdevKeyEventSource source(scheduler.clock(), std::make_shared<FolderKeyboards>(), folder.path(), {});
    long delivered = 0;
    source.start([&delivered](const KeyEvent&) { ++delivered; });
    const int writer = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);

    QByteArray batch;
    for (int key = KEY_Q; key < KEY_Q + 16; ++key) {
        for (const int value : {1, 0}) {
            for (const input_event& event :
                 {input_event{{}, EV_KEY, quint16(key), value}, input_event{{}, EV_SYN, SYN_REPORT, 0}}) {
                batch.append(reinterpret_cast<const char*>(&event), sizeof event);
            }
        }
    }
    for (auto _ : state) {
        if (::write(writer, batch.constData(), size_t(batch.size())) != batch.size()) {
            state.SkipWithError("the pipe took less than a batch");
            break;
        }
        QCoreApplication::processEvents();
    }
    ::close(writer);
    state.SetItemsProcessed(delivered);
}
BENCHMARK(BM_EvdevKeyEvents)->Unit(benchmark::kMicrosecond);

// The paste chord (Control+V) resolved and written; /dev/null stands in for the device.
void BM_UinputChord(benchmark::State& state) {
    UinputKeySynthesizer synthesizer{UniqueFd(::open("/dev/null", O_WRONLY | O_CLOEXEC))};
    for (auto _ : state) {
        benchmark::DoNotOptimize(synthesizer.tapKey(quint16(KeyCodes::v), ModifierFlags::control));
    }
}
BENCHMARK(BM_UinputChord);

} // namespace

BENCHMARK_MAIN();
