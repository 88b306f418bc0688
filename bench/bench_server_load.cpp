// orlavo-server under a flood of clients that never authenticate, for about 30 seconds: 16
// connections streaming header lines, one connection sending a single header line of up to 64 MB
// in all, 200 idle and 50 trickling connections. Meanwhile a good client asks for health every
// 100 ms and transcribes every 2 s. Reports the server's resident memory idle and at its peak,
// how many good requests were answered, the health latency and whether the server survived.
// Loopback only; every loop is bounded in time and bytes.
#include "ServerProcess.h"
#include "WavBytes.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto attackTime = 30s;
constexpr std::size_t hugeLineBudget = 64u << 20; // bytes sent on the huge header line, in all

long statusKilobytes(qint64 pid, const char* field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const auto match = QRegularExpression(QStringLiteral("%1:\\s+(\\d+) kB").arg(QLatin1String(field)))
                           .match(QString::fromUtf8(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

int connectNonBlocking(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    return fd;
}

// A connection of the flood: reconnects when the server closes it.
struct Attacker {
    int fd = -1;
    std::size_t sent = 0;

    // False when the server has closed it (it is then reopened on the next call).
    bool push(int port, const std::string& start, const std::string& more) {
        if (fd < 0) {
            fd = connectNonBlocking(port);
            if (fd < 0) {
                return false;
            }
            ::send(fd, start.data(), start.size(), MSG_NOSIGNAL);
        }
        char sink[4096];
        const ssize_t got = ::recv(fd, sink, sizeof sink, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            close();
            return false;
        }
        if (!more.empty()) {
            const ssize_t put = ::send(fd, more.data(), more.size(), MSG_NOSIGNAL);
            if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                close();
                return false;
            }
            sent += std::size_t(std::max<ssize_t>(put, 0));
        }
        return true;
    }
    void close() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
};

void BM_LoadBeforeAuthentication(benchmark::State& state) {
    const QByteArray wav = WavBytes::tone({}, 1.5);
    for (auto _ : state) {
        ServerProcess server;
        QString failure;
        if (!server.start(&failure)) {
            state.SkipWithError(qPrintable(failure));
            return;
        }
        const int port = server.port();
        const qint64 pid = server.processId();
        (void)server.postAudio(wav); // the first decoder is loaded at start; warm the rest of the path
        const long idle = statusKilobytes(pid, "VmRSS");

        std::atomic<bool> stop{false};
        std::atomic<long> peak{idle};
        std::atomic<std::size_t> hugeSent{0};
        std::vector<std::thread> threads;
        // Sixteen connections streaming header lines as fast as the server takes them.
        threads.emplace_back([&] {
            std::vector<Attacker> streams(16);
            const std::string line = "X-Stream: " + std::string(1000, 's') + "\r\n";
            std::string lines;
            for (int i = 0; i < 16; ++i) {
                lines += line;
            }
            while (!stop) {
                for (Attacker& stream : streams) {
                    stream.push(port, "POST /v1/ptt/transcribe HTTP/1.1\r\nHost: x\r\n", lines);
                }
                std::this_thread::sleep_for(1ms);
            }
            for (Attacker& stream : streams) {
                stream.close();
            }
        });
        // One header line that never ends, up to the byte budget.
        threads.emplace_back([&] {
            Attacker huge;
            const std::string chunk(64 * 1024, 'h');
            while (!stop && hugeSent < hugeLineBudget) {
                huge.push(port, "POST /v1/ptt/transcribe HTTP/1.1\r\nX-Huge: ", chunk);
                hugeSent = huge.sent;
                std::this_thread::sleep_for(1ms);
            }
            huge.close();
        });
        // 200 idle and 50 trickling connections, reopened when the server closes them.
        threads.emplace_back([&] {
            std::vector<Attacker> idleOnes(200);
            std::vector<Attacker> trickling(50);
            while (!stop) {
                for (Attacker& connection : idleOnes) {
                    connection.push(port, "", "");
                }
                for (Attacker& connection : trickling) {
                    connection.push(port, "POST /v1/ptt/edit HTTP/1.1\r\n", "X");
                }
                std::this_thread::sleep_for(200ms);
            }
            for (Attacker& connection : idleOnes) {
                connection.close();
            }
            for (Attacker& connection : trickling) {
                connection.close();
            }
        });
        threads.emplace_back([&] {
            while (!stop) {
                peak = std::max(peak.load(), statusKilobytes(pid, "VmRSS"));
                std::this_thread::sleep_for(50ms);
            }
        });

        // The good client.
        std::vector<double> healthMs;
        int asked = 0;
        int answered = 0;
        auto client = server.client();
        client->set_read_timeout(10, 0);
        const auto until = Clock::now() + attackTime;
        auto nextTranscription = Clock::now();
        while (Clock::now() < until) {
            const auto started = Clock::now();
            ++asked;
            const auto health = client->Get("/v1/ptt/health");
            healthMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
            answered += health && health->status == 200 ? 1 : 0;
            if (Clock::now() >= nextTranscription) {
                nextTranscription += 2s;
                ++asked;
                const auto transcript = server.postAudio(wav);
                answered += transcript && transcript->status == 200 ? 1 : 0;
            }
            std::this_thread::sleep_until(started + 100ms);
        }
        stop = true;
        for (std::thread& thread : threads) {
            thread.join();
        }
        const auto after = server.client()->Get("/v1/ptt/health");

        std::sort(healthMs.begin(), healthMs.end());
        state.counters["idle_MB"] = double(idle) / 1024.0;
        state.counters["peak_MB"] = double(peak.load()) / 1024.0;
        state.counters["asked"] = asked;
        state.counters["answered"] = answered;
        state.counters["health_p50_ms"] = healthMs[healthMs.size() / 2];
        state.counters["health_p99_ms"] = healthMs[std::min(healthMs.size() - 1, healthMs.size() * 99 / 100)];
        state.counters["health_max_ms"] = healthMs.back();
        state.counters["huge_line_MB"] = double(hugeSent.load()) / double(1u << 20);
        state.counters["alive"] = after && after->status == 200 ? 1 : 0;
    }
}
BENCHMARK(BM_LoadBeforeAuthentication)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv); // for QProcess
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
