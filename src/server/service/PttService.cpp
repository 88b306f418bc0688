#include "server/service/PttService.h"

#include "core/wire/PTTEditRequest.h"
#include "core/wire/PTTEditResponse.h"
#include "core/wire/PTTHealthResponse.h"
#include "core/wire/PTTTranscribeResponse.h"
#include "server/ServerLogging.h"
#include "server/engines/LanguageHint.h"
#include "server/http/HeaderText.h"
#include "server/http/HttpReply.h"
#include "server/http/HttpServer.h"
#include "server/http/RawHeaders.h"
#include "server/http/RequestLog.h"
#include "server/prompts/BacktrackGuard.h"
#include "server/prompts/EditPrompts.h"
#include "server/service/RequestId.h"
#include "server/service/ServiceError.h"
#include "server/wav/AudioNormalizer.h"
#include "server/wav/WavParser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>

namespace {

using httplib::Request;
using httplib::Response;
using HandlerResponse = httplib::Server::HandlerResponse;

constexpr std::string_view healthPath = "/v1/ptt/health";
constexpr std::string_view transcribePath = "/v1/ptt/transcribe";
constexpr std::string_view editPath = "/v1/ptt/edit";
constexpr std::string_view reloadPath = "/v1/ptt/reload";

constexpr std::array userTextHeaders{"x-ptt-filename", "x-ptt-language-hint", "x-ptt-prompt"};

void fail(Response& response, const PTTError& error) {
    HttpReply::text(response, error.code, ServiceError::reason(error));
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return text;
}

// The media type without parameters, lower case; "" when absent.
std::string mediaType(const Request& request) {
    std::string type = request.get_header_value("Content-Type");
    type = type.substr(0, type.find(';'));
    const auto end = type.find_last_not_of(' ');
    return lowered(end == std::string::npos ? std::string() : type.substr(0, end + 1));
}

bool isChunked(const Request& request) {
    return lowered(request.get_header_value("Transfer-Encoding")).find("chunked") != std::string::npos;
}

// The announced body length: nullopt when there is no usable Content-Length.
std::optional<std::size_t> contentLength(const Request& request, bool& malformed) {
    malformed = false;
    const std::size_t count = request.get_header_value_count("Content-Length");
    if (count == 0) {
        return std::nullopt;
    }
    std::optional<std::size_t> length;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = request.get_header_value("Content-Length", i);
        std::size_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
            (length && *length != value)) {
            malformed = true;
            return std::nullopt;
        }
        length = value;
    }
    return length;
}

std::string timeoutReason(const char* what, std::chrono::milliseconds limit) {
    char seconds[32] = {};
    std::snprintf(seconds, sizeof seconds, "%g", double(limit.count()) / 1000.0);
    return std::string("request timeout: ") + what + " did not arrive within " + seconds + " s";
}

// Sizes in reasons are written in KB or MB: the app reads "401", "429", "502" and "503" anywhere in
// a reason as statuses, and a raw byte count could hold one of them.
std::string sizeText(std::size_t bytes) {
    char text[32] = {};
    if (bytes >= 1000000u) {
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1e3);
    }
    return text;
}

// A header as the client sent it, not percent-decoded; "" when absent.
std::string rawHeader(const char* name) {
    return RawHeaders::find(HttpServer::currentRequest().head, name).value_or(std::string());
}

bool bodyFollows(const Request& request) {
    bool malformed = false;
    const auto length = contentLength(request, malformed);
    return malformed || isChunked(request) || (length && *length > 0);
}

} // namespace

PttService::PttService(ServiceSettings settings, ServerToken token, ServiceEngines engines)
    : m_settings(std::move(settings))
    , m_token(std::move(token))
    , m_engines(std::move(engines)) {}

void PttService::install(HttpServer& server) {
    server.set_pre_routing_handler(
        [this](const Request& request, Response& response) { return screen(request, response); });
    // Clients that ask before sending a body ("Expect: 100-continue") learn of a refusal before
    // they send it.
    server.set_expect_100_continue_handler([this](const Request& request, Response& response) {
        return screen(request, response) == HandlerResponse::Handled ? response.status : 100;
    });
    server.Get(std::string(healthPath),
               [this](const Request& request, Response& response) { health(request, response); });
    server.Post(std::string(transcribePath),
                [this](const Request& request, Response& response, const httplib::ContentReader& reader) {
                    transcribe(request, response, reader);
                });
    server.Post(std::string(editPath),
                [this](const Request& request, Response& response, const httplib::ContentReader& reader) {
                    edit(request, response, reader);
                });
    server.Post(std::string(reloadPath), [this](const Request&, Response& response) { reload(response); });
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [timeout = m_settings.requestTimeout](const Request&, Response& response) {
            if (!response.body.empty()) {
                return HandlerResponse::Unhandled; // a reason of our own
            }
            RequestContext& context = HttpServer::currentRequest();
            if (context.timedOut) {
                HttpReply::text(response, HttpStatus::requestTimeout, timeoutReason("the request", timeout));
                return HandlerResponse::Handled;
            }
            // The library refused the request before any handler saw it: where the next request
            // would start is unknown, so the connection ends with this answer.
            context.closeAfterResponse = true;
            response.set_header("Connection", "close");
            HttpReply::text(response, response.status, HttpReply::defaultReason(response.status));
            return HandlerResponse::Handled;
        }));
    server.set_exception_handler([](const Request&, Response& response, const std::exception_ptr& thrown) {
        // The path is the client's text: left out, as the request log already names it.
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const std::exception& exception) {
            qCWarning(lcServerHttp) << "A request handler threw:" << exception.what();
        } catch (...) {
            qCWarning(lcServerHttp) << "A request handler threw something that is not an exception";
        }
        HttpReply::text(response, HttpStatus::internalError, "internal error");
        HttpServer::currentRequest().closeAfterResponse = true;
    });
    server.set_logger([](const Request& request, const Response& response) {
        const RequestContext& context = HttpServer::currentRequest();
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - context.started;
        RequestLog::write(RequestLog::line(request.method, request.path, response.status,
                                           context.bytesReceived, response.body.size(), elapsed.count()));
    });
}

HandlerResponse PttService::screen(const Request& request, Response& response) const {
    const bool pending = bodyFollows(request);
    const auto refuse = [&](HttpStatus status, const std::string& reason) {
        HttpReply::text(response, status, reason);
        if (pending) {
            HttpServer::currentRequest().closeAfterResponse = true;
            response.set_header("Connection", "close");
        }
        return HandlerResponse::Handled;
    };

    const std::string_view path = request.path;
    const bool isHealth = path == healthPath;
    const bool isReload = path == reloadPath;
    if (!isHealth && !isReload && path != transcribePath && path != editPath) {
        return refuse(HttpStatus::notFound, "no such endpoint: " + std::string(path.substr(0, 80)));
    }
    const bool methodAllowed =
        isHealth ? (request.method == "GET" || request.method == "HEAD") : request.method == "POST";
    if (!methodAllowed) {
        response.set_header("Allow", isHealth ? "GET, HEAD" : "POST");
        return refuse(HttpStatus::methodNotAllowed,
                      request.method.substr(0, 16) + " is not allowed on " + std::string(path));
    }
    if (isHealth) {
        return HandlerResponse::Unhandled;
    }
    if (!m_token.acceptsAuthorization(rawHeader("Authorization"))) {
        response.set_header("WWW-Authenticate", "Bearer");
        return refuse(HttpStatus::unauthorized, "unauthorized: missing or invalid bearer token");
    }
    if (isReload) {
        return pending ? refuse(HttpStatus::badRequest, "a reload takes no body")
                       : HandlerResponse::Unhandled;
    }

    const std::string encoding = lowered(request.get_header_value("Content-Encoding"));
    if (!encoding.empty() && encoding != "identity") {
        return refuse(HttpStatus::unsupportedMediaType, "compressed request bodies are not accepted");
    }
    const std::string transfer = lowered(request.get_header_value("Transfer-Encoding"));
    if (!transfer.empty() && transfer != "chunked") {
        return refuse(HttpStatus::badRequest, "unsupported transfer encoding");
    }
    bool malformed = false;
    const auto length = contentLength(request, malformed);
    if (malformed) {
        return refuse(HttpStatus::badRequest, "malformed Content-Length");
    }
    const bool isTranscribe = path == transcribePath;
    const std::size_t limit = isTranscribe ? m_settings.maxAudioBytes : m_settings.maxEditBytes;
    if (!length && !isChunked(request)) {
        return refuse(HttpStatus::lengthRequired, "Content-Length required");
    }
    if (length && *length == 0) {
        return refuse(HttpStatus::badRequest, isTranscribe ? "empty body: send the WAV recording"
                                                           : "empty body: send the edit request");
    }
    if (length && *length > limit) {
        return refuse(HttpStatus::payloadTooLarge,
                      "body of " + sizeText(*length) + " is over the limit of " + sizeText(limit));
    }

    const std::string type = mediaType(request);
    if (isTranscribe) {
        static constexpr std::array accepted{"",           "audio/wav",      "audio/x-wav",
                                             "audio/wave", "audio/vnd.wave", "application/octet-stream"};
        if (std::find(accepted.begin(), accepted.end(), type) == accepted.end()) {
            return refuse(HttpStatus::unsupportedMediaType,
                          "unsupported media type \"" + type.substr(0, 60) + "\": send audio/wav");
        }
        for (const char* header : userTextHeaders) {
            if (const auto problem = HeaderText::problem(rawHeader(header))) {
                return refuse(HttpStatus::badRequest, std::string("header ") + header + " " + *problem);
            }
        }
    } else if (!type.empty() && type != "application/json") {
        return refuse(HttpStatus::unsupportedMediaType,
                      "unsupported media type \"" + type.substr(0, 60) + "\": send application/json");
    }
    return HandlerResponse::Unhandled;
}

void PttService::health(const Request&, Response& response) const {
    const auto engines = m_engines.current();
    PTTHealthResponse health{true, QString::fromUtf8(serviceName), !engines->upstreamHost.empty(), true,
                             QString::fromStdString(m_settings.version)};
    health.engine = QString::fromUtf8(engineName(engines->kind));
    if (!engines->upstreamHost.empty()) {
        health.upstreamHost = QString::fromStdString(engines->upstreamHost);
    }
    HttpReply::json(response, HttpStatus::ok, health.toJson().toStdString());
}

void PttService::reload(Response& response) const {
    if (!m_reload) {
        HttpReply::text(response, HttpStatus::notImplemented, "this server cannot reload its configuration");
        return;
    }
    if (const auto reloaded = m_reload(); !reloaded) {
        fail(response, reloaded.error());
        return;
    }
    health(Request(), response);
}

bool PttService::readBody(const Request& request, Response& response, const httplib::ContentReader& reader,
                          std::size_t limit, std::string& body) const {
    bool malformed = false;
    if (const auto length = contentLength(request, malformed); length && *length <= limit) {
        body.reserve(*length);
    }
    bool overLimit = false;
    const bool complete = reader([&](const char* data, std::size_t size) {
        if (body.size() + size > limit) {
            overLimit = true;
            return false;
        }
        body.append(data, size);
        return true;
    });
    if (complete && !overLimit) {
        return true;
    }
    RequestContext& context = HttpServer::currentRequest();
    context.closeAfterResponse = true;
    response.set_header("Connection", "close");
    if (context.timedOut) {
        HttpReply::text(response, HttpStatus::requestTimeout,
                        timeoutReason("the body", m_settings.requestTimeout));
    } else if (overLimit) {
        HttpReply::text(response, HttpStatus::payloadTooLarge,
                        "body is over the limit of " + sizeText(limit));
    } else {
        HttpReply::text(response, HttpStatus::badRequest, "the body ended before it was complete");
    }
    return false;
}

void PttService::transcribe(const Request& request, Response& response,
                            const httplib::ContentReader& reader) const {
    std::string body;
    if (!readBody(request, response, reader, m_settings.maxAudioBytes, body)) {
        return;
    }
    const auto audio = WavParser::parse(body);
    if (!audio) {
        fail(response, audio.error());
        return;
    }
    // Converting inflates audio up to sixteen times (8-bit 8 kHz to 16 kHz floats and samples), so
    // the length is bounded before, not the converted size after.
    if (audio->durationSeconds() > m_settings.maxAudioSeconds) {
        char text[96] = {};
        std::snprintf(text, sizeof text, "recording of %.0f s is over the limit of %.0f s",
                      audio->durationSeconds(), m_settings.maxAudioSeconds);
        HttpReply::text(response, HttpStatus::payloadTooLarge, text);
        return;
    }
    auto clip = AudioNormalizer::toClip(audio.value());
    std::string().swap(body); // the clip holds the samples now
    if (!clip) {
        fail(response, clip.error());
        return;
    }
    if (clip->samples.empty()) {
        HttpReply::text(response, HttpStatus::badRequest, "recording too short: it holds no audio samples");
        return;
    }

    const LanguageHint language = LanguageHint::parse(rawHeader("x-ptt-language-hint"));
    // Taken once: a reload meanwhile does not change the engine this transcription runs on.
    const auto engines = m_engines.current();
    // The offline recogniser would answer English words for any speech, so other languages go
    // upstream or nowhere.
    TranscriptionEngine* engine =
        language.suitsEnglishOnly() ? engines->transcription.get() : engines->otherLanguages.get();
    if (!engine) {
        HttpReply::text(response, HttpStatus::unprocessableContent,
                        "the language \"" + language.text().substr(0, 40) +
                            "\" needs an upstream engine: the offline recogniser knows English only");
        return;
    }
    const TranscriptionJob job{clip.value(), language, rawHeader("x-ptt-prompt"),
                               [] { return HttpServer::currentRequest().clientGone(); }};
    const auto transcript = engine->transcribe(job);
    if (!transcript) {
        fail(response, transcript.error());
        return;
    }
    PTTTranscribeResponse answer;
    answer.text = QString::fromStdString(transcript->text);
    if (transcript->language) {
        answer.language = QString::fromStdString(*transcript->language);
    }
    answer.durationSeconds = clip->durationSeconds();
    answer.requestId = QString::fromStdString(RequestId::next());
    HttpReply::json(response, HttpStatus::ok, answer.toJson().toStdString());
}

void PttService::edit(const Request& request, Response& response,
                      const httplib::ContentReader& reader) const {
    std::string body;
    if (!readBody(request, response, reader, m_settings.maxEditBytes, body)) {
        return;
    }
    const auto parsed = PTTEditRequest::fromJson(QByteArray::fromStdString(body));
    if (!parsed) {
        HttpReply::text(response, HttpStatus::badRequest,
                        "bad edit request: " + parsed.error().description.toStdString());
        return;
    }
    const PTTEditRequest& editRequest = parsed.value();
    PTTEditResponse answer;
    answer.requestId = QString::fromStdString(RequestId::next());
    if (const auto unchanged = EditPrompts::answerWithoutModel(editRequest)) {
        answer.text = QString::fromStdString(*unchanged);
        HttpReply::json(response, HttpStatus::ok, answer.toJson().toStdString());
        return;
    }
    const auto prompt = EditPrompts::build(editRequest);
    if (!prompt) {
        fail(response, prompt.error());
        return;
    }
    const auto engines = m_engines.current();
    if (!engines->chat) {
        // Not a passing condition, so not a 503: nothing will change until the server is configured.
        HttpReply::text(
            response, HttpStatus::notImplemented,
            "edits need an upstream chat engine: set ORLAVO_UPSTREAM_URL (and ORLAVO_EDIT_MODEL) or "
            "upstreamUrl in server.json");
        return;
    }
    const auto edited = engines->chat->complete(prompt.value());
    if (!edited) {
        fail(response, edited.error());
        return;
    }
    std::string text = edited.value();
    if (editRequest.mode == PTTEditMode::backtrack) {
        text = BacktrackGuard::protect(editRequest.originalText->toStdString(),
                                       editRequest.inputText.toStdString(), text);
    } else {
        const auto first = text.find_first_not_of(" \t\r\n");
        text = first == std::string::npos ? std::string()
                                          : text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    }
    answer.text = QString::fromStdString(text);
    HttpReply::json(response, HttpStatus::ok, answer.toJson().toStdString());
}
