#pragma once

#include "core/common/Result.h"
#include "server/config/ListenAddress.h"
#include "server/config/TranscriptionEngineKind.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Everything orlavo-server can be told, from server.json and the environment (the environment
// wins). A missing file means the defaults: the offline recogniser on loopback, no edit engine.
struct ServerConfig {
    using Environment = std::function<std::optional<std::string>(const char* name)>;

    ListenAddress listen;
    std::optional<std::string> token; // else the token file

    TranscriptionEngineKind engine = TranscriptionEngineKind::local;
    std::string upstreamUrl; // e.g. "https://api.openai.com/v1"; empty: no upstream
    std::string upstreamKey;
    std::string transcribeModel = "whisper-1";
    std::string editModel = "gpt-4o-mini";
    double upstreamTimeoutSeconds = 30.0;

    std::string localModelDirectory;
    int localDecoders = 0; // 0: one per processor core
    // For a free decoder, then 503: below the app's 60 s idle limit, so it reads why.
    double decoderWaitSeconds = 45.0;

    std::size_t maxAudioBytes = 25u << 20; // about 13 minutes of 16 kHz mono 16-bit audio
    std::size_t maxEditBytes = 1u << 20;
    double requestTimeoutSeconds = 30.0; // to receive one whole request
    int workers = 16;

    std::vector<std::string> warnings; // ignored keys and the like, for the start-up log

    bool hasUpstream() const { return !upstreamUrl.empty(); }
    bool hasChatEngine() const { return hasUpstream() && !editModel.empty(); }
    bool hasUpstreamTranscription() const { return hasUpstream() && !transcribeModel.empty(); }
    int decoderCount() const;

    static ServerConfig defaults();
    // Reads `path` (absent is fine) and then the ORLAVO_* variables through `environment`.
    static Result<ServerConfig> load(const QString& path, const Environment& environment);
    static Environment processEnvironment();
};
