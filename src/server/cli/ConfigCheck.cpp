#include "server/cli/ConfigCheck.h"

#include "OrlavoVersion.h"
#include "server/auth/ServerToken.h"
#include "server/engines/SphinxDecoder.h"
#include "server/engines/UpstreamClient.h"
#include "server/language/DictationModel.h"

#include <QFileInfo>

#include <chrono>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

namespace ConfigCheck {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string tokenLine(const ServerConfig& config, const QString& tokenFile) {
    if (config.token) {
        return "configured in server.json (" + maskSecret(*config.token) + ")";
    }
    const auto token = ServerToken::read(tokenFile);
    if (!token) {
        return "PROBLEM: " + token.error().description.toStdString();
    }
    if (!token.value()) {
        return tokenFile.toStdString() + " (created at the first start)";
    }
    return tokenFile.toStdString() + " (" + maskSecret(token.value()->text()) + ")";
}

bool checkLocal(const ServerConfig& config, std::FILE* out) {
    const auto start = Clock::now();
    const std::string dictationModel = DictationModel::locate();
    auto decoder = SphinxDecoder::create(config.localModelDirectory, dictationModel);
    if (!decoder) {
        std::fprintf(out, "  local recogniser  FAILED: %s\n", qPrintable(decoder.error().description));
        return false;
    }
    const double loaded = secondsSince(start);
    const std::vector<std::int16_t> silence(16000, 0);
    const auto decodeStart = Clock::now();
    const auto words = decoder.value()->decode(silence);
    if (!words) {
        std::fprintf(out, "  local recogniser  FAILED: %s\n", qPrintable(words.error().description));
        return false;
    }
    std::fprintf(out, "  local recogniser  ok: model loaded in %.2f s, 1 s of audio decoded in %.2f s, %s\n",
                 loaded, secondsSince(decodeStart),
                 dictationModel.empty() ? "no dictation model (spoken punctuation is rarely heard)"
                                        : ("dictation model " + dictationModel).c_str());
    return true;
}

bool checkUpstream(const ServerConfig& config, std::FILE* out) {
    UpstreamClient client(config.upstreamUrl, config.upstreamKey, config.upstreamTimeoutSeconds);
    const auto reply = client.get("/models", std::min(config.upstreamTimeoutSeconds, 10.0));
    if (!reply) {
        std::fprintf(out, "  upstream          FAILED: %s\n", qPrintable(reply.error().description));
        return false;
    }
    if (reply->status < 200 || reply->status > 299) {
        const auto error = UpstreamClient::statusError(reply->status, reply->body);
        std::fprintf(out, "  upstream          FAILED: GET /models: %s\n", qPrintable(error.description));
        return false;
    }
    std::set<std::string> models;
    const auto parsed = nlohmann::json::parse(reply->body, nullptr, false);
    if (!parsed.is_discarded() && parsed.is_object() && parsed.contains("data") &&
        parsed["data"].is_array()) {
        for (const auto& entry : parsed["data"]) {
            if (entry.is_object() && entry.contains("id") && entry["id"].is_string()) {
                models.insert(entry["id"].get<std::string>());
            }
        }
    }
    std::fprintf(out, "  upstream          ok: GET /models answered %ld", reply->status);
    for (const std::string* model : {&config.transcribeModel, &config.editModel}) {
        if (!model->empty() && !models.empty()) {
            std::fprintf(out, "; \"%s\" %s", model->c_str(), models.count(*model) ? "listed" : "NOT listed");
        }
    }
    std::fprintf(out, "\n");
    return true;
}

} // namespace

std::string maskSecret(const std::string& secret) {
    if (secret.empty()) {
        return "not set";
    }
    std::string masked = std::to_string(secret.size()) + " characters";
    if (secret.size() >= 20) {
        masked += ", ending \"" + secret.substr(secret.size() - 4) + "\"";
    }
    return masked;
}

int run(const ServerConfig& config, const QString& configFile, const QString& tokenFile, std::FILE* out) {
    const bool fileExists = QFileInfo::exists(configFile);
    const bool localNeeded = config.engine == TranscriptionEngineKind::local;
    std::fprintf(out, "orlavo-server %s\n", ORLAVO_VERSION);
    std::fprintf(out, "  config file       %s%s\n", qPrintable(configFile),
                 fileExists ? "" : " (absent: defaults)");
    for (const std::string& warning : config.warnings) {
        std::fprintf(out, "  warning           %s\n", warning.c_str());
    }
    std::fprintf(out, "  listen            %s%s\n", config.listen.toString().c_str(),
                 config.listen.isLoopback() ? "" : " (not loopback: reachable from other machines)");
    std::fprintf(out, "  token             %s\n", tokenLine(config, tokenFile).c_str());
    std::fprintf(out, "  transcription     %s\n",
                 localNeeded ? ("local, pocketsphinx en-US from " + config.localModelDirectory + ", up to " +
                                std::to_string(config.decoderCount()) + " decoders")
                                   .c_str()
                             : ("openai, model " + config.transcribeModel).c_str());
    if (localNeeded) {
        std::fprintf(out, "  other languages   %s\n",
                     config.hasUpstreamTranscription()
                         ? ("upstream, model " + config.transcribeModel).c_str()
                         : "refused (422): the offline recogniser knows English only");
    }
    std::fprintf(out, "  edits             %s\n",
                 config.hasChatEngine() ? ("upstream, model " + config.editModel).c_str()
                                        : "none: edit requests answer 501 until an upstream is configured");
    if (config.hasUpstream()) {
        std::fprintf(out, "  upstream          %s, key %s, time-out %g s\n",
                     UpstreamClient::shown(config.upstreamUrl).c_str(),
                     maskSecret(config.upstreamKey).c_str(), config.upstreamTimeoutSeconds);
    }
    std::fprintf(out, "  limits            audio %zu bytes, edit %zu bytes, request %g s, %d workers\n",
                 config.maxAudioBytes, config.maxEditBytes, config.requestTimeoutSeconds, config.workers);

    std::fprintf(out, "checks\n");
    bool healthy = true;
    if (localNeeded) {
        healthy = checkLocal(config, out) && healthy;
    }
    if (config.hasUpstream()) {
        healthy = checkUpstream(config, out) && healthy;
    }
    if (localNeeded) {
        std::fprintf(
            out, "note: the offline recogniser knows English only and gets roughly one word in three wrong "
                 "on real speech (more on\n      unclear audio or unusual words); an OpenAI-compatible "
                 "upstream is the way to high accuracy.\n");
    }
    return healthy ? 0 : 1;
}

} // namespace ConfigCheck
