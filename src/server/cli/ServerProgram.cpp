#include "server/cli/ServerProgram.h"

#include "OrlavoVersion.h"
#include "core/backend/BackendToken.h"
#include "core/common/ErrorCode.h"
#include "core/common/FileError.h"
#include "core/common/StatusSink.h"
#include "core/paths/AppPaths.h"
#include "server/auth/ServerToken.h"
#include "server/cli/ConfigCheck.h"
#include "server/config/ServerConfig.h"
#include "server/http/HttpServer.h"
#include "server/service/EngineFactory.h"
#include "server/service/PttService.h"
#include "server/service/ServiceReloader.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <curl/curl.h>
#include <functional>
#include <thread>

namespace ServerProgram {

namespace {

void say(const std::string& line) {
    static const StatusSink sink(StatusSink::Stream::error, "orlavo-server: ");
    sink.write(line);
}

Result<ServerToken> resolveToken(const ServerConfig& config) {
    if (config.token) {
        if (auto token = ServerToken::fromText(*config.token)) {
            return std::move(*token);
        }
        return makeError(FileError::failed,
                         QStringLiteral("the configured token is longer than 1024 characters"));
    }
    return ServerToken::loadOrCreate(AppPaths::serverTokenFile());
}

// SIGINT, SIGTERM and SIGHUP are blocked in every thread and taken here, so a handler never runs
// in the middle of a request and stopping or reloading is an ordinary call.
class SignalWatcher final {
public:
    SignalWatcher(HttpServer& server, std::function<void()> reload)
        : m_reload(std::move(reload))
        , m_thread([this, &server] { watch(server); }) {}
    ~SignalWatcher() {
        m_done = true;
        m_thread.join();
    }
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    static sigset_t watchedSignals() {
        sigset_t watched;
        sigemptyset(&watched);
        sigaddset(&watched, SIGINT);
        sigaddset(&watched, SIGTERM);
        sigaddset(&watched, SIGHUP);
        return watched;
    }

    static void blockInThisThread() {
        const sigset_t watched = watchedSignals();
        pthread_sigmask(SIG_BLOCK, &watched, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
    }

private:
    void watch(HttpServer& server) {
        const sigset_t watched = watchedSignals();
        const timespec slice{0, 200'000'000};
        while (!m_done) {
            const int caught = sigtimedwait(&watched, nullptr, &slice);
            if (caught == SIGHUP) {
                m_reload(); // it logs what it did
            } else if (caught > 0) {
                say("stopping");
                // A stop before the accept loop runs would be lost and the server would go on
                // serving; wait for the loop (or for the end, when it could not start).
                while (!m_done && !server.is_running()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                server.stop();
                return;
            }
        }
    }

    std::function<void()> m_reload;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// The app gives the token file's token only to the address written here, so a program of the
// same user on another loopback port never receives it.
void writeServedAddress(const ListenAddress& bound) {
    const QString path = BackendToken::serverAddressFile(AppPaths::serverTokenFile());
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray::fromStdString(bound.toString() + "\n")) < 0 || !file.commit()) {
        say("warning: cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    }
}

} // namespace

int run(const CommandLine& commandLine) {
    if (commandLine.action == CommandLine::Action::help) {
        std::fputs(CommandLine::usage().c_str(), stdout);
        return 0;
    }
    if (commandLine.action == CommandLine::Action::version) {
        std::printf("orlavo-server %s\n", ORLAVO_VERSION);
        return 0;
    }
    SignalWatcher::blockInThisThread();
    curl_global_init(CURL_GLOBAL_DEFAULT);

    const QString configFile = AppPaths::serverConfigFile();
    auto loaded = ServerConfig::load(configFile, ServerConfig::processEnvironment());
    if (!loaded) {
        say(loaded.error().description.toStdString());
        return 2;
    }
    ServerConfig config = std::move(loaded).value();
    if (commandLine.listen) {
        config.listen = *commandLine.listen;
    }
    if (commandLine.action == CommandLine::Action::printAddress) {
        std::printf("%s\n", config.listen.toString().c_str());
        return 0;
    }
    if (commandLine.action == CommandLine::Action::check) {
        return ConfigCheck::run(config, configFile, AppPaths::serverTokenFile(), stdout);
    }
    for (const std::string& warning : config.warnings) {
        say(warning);
    }

    auto token = resolveToken(config);
    if (!token) {
        say(token.error().description.toStdString());
        return 1;
    }
    auto engines = EngineFactory::build(config);
    if (!engines) {
        say(engines.error().description.toStdString());
        return 1;
    }

    const std::string engineSummary =
        "transcription " + engines->transcription->describe() + ", edits " +
        (engines->chat ? engines->chat->describe() : std::string("off (no upstream)"));

    HttpLimits limits;
    limits.requestTimeout = std::chrono::milliseconds(std::llround(config.requestTimeoutSeconds * 1000));
    limits.headTimeout = std::min(limits.headTimeout, limits.requestTimeout);
    limits.workers = std::size_t(config.workers);
    HttpServer server(limits);
    ServiceSettings settings;
    settings.maxAudioBytes = config.maxAudioBytes;
    settings.maxAudioSeconds = double(config.maxAudioBytes) / 32000.0;
    settings.maxEditBytes = config.maxEditBytes;
    settings.requestTimeout = limits.requestTimeout;
    settings.version = ORLAVO_VERSION;
    PttService service(std::move(settings), std::move(token).value(), std::move(engines).value());
    service.install(server);
    ServiceReloader reloader(configFile, ServerConfig::processEnvironment(), config, service.engines(), say);
    service.setReload([&reloader] { return reloader.reload(); });

    std::string bindError;
    const int port = server.bindTo(config.listen.host, config.listen.port, &bindError);
    if (port <= 0) {
        say("cannot listen on " + config.listen.toString() + ": " + bindError);
        return 1;
    }
    ListenAddress bound = config.listen;
    bound.port = port;
    if (!bound.isLoopback()) {
        say("warning: listening on " + bound.host +
            ", reachable from other machines; every request but health "
            "needs the token");
    }
    say(std::string("version ") + ORLAVO_VERSION + ", " + engineSummary);
    say("listening on " + bound.toString());
    writeServedAddress(bound);

    SignalWatcher watcher(server, [&reloader] { (void)reloader.reload(); });
    const bool served = server.listen_after_bind();
    curl_global_cleanup();
    return served ? 0 : 1;
}

} // namespace ServerProgram
