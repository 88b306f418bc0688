#include "server/engines/UpstreamClient.h"

#include "server/service/ServiceError.h"

#include <cstdio>
#include <curl/curl.h>
#include <nlohmann/json.hpp>

namespace {

constexpr std::size_t maximumReplyBytes = 8u << 20;
constexpr std::size_t maximumReasonLength = 300;

struct Collector {
    std::string body;
    bool overflow = false;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* collector = static_cast<Collector*>(user);
    const std::size_t bytes = size * count;
    if (collector->body.size() + bytes > maximumReplyBytes) {
        collector->overflow = true;
        return 0; // makes curl stop with CURLE_WRITE_ERROR
    }
    collector->body.append(data, bytes);
    return bytes;
}

// One line of printable text, short enough for a reason line.
std::string oneLine(std::string_view text) {
    std::string line;
    for (const char c : text) {
        if (line.size() >= maximumReasonLength) {
            line += "...";
            break;
        }
        const auto byte = static_cast<unsigned char>(c);
        line.push_back(byte < 0x20 || byte == 0x7F ? ' ' : c);
    }
    const auto end = line.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

struct CurlList {
    curl_slist* list = nullptr;
    ~CurlList() { curl_slist_free_all(list); }
    void append(const std::string& line) {
        if (curl_slist* grown = curl_slist_append(list, line.c_str())) {
            list = grown;
        }
    }
};

struct CurlForm {
    curl_mime* mime = nullptr;
    ~CurlForm() { curl_mime_free(mime); }
};

} // namespace

struct UpstreamClient::Handle {
    CURL* curl = curl_easy_init();
    ~Handle() { curl_easy_cleanup(curl); }
};

UpstreamClient::UpstreamClient(std::string baseUrl, std::string apiKey, double timeoutSeconds)
    : m_baseUrl(std::move(baseUrl))
    , m_apiKey(std::move(apiKey))
    , m_timeoutSeconds(timeoutSeconds) {}

UpstreamClient::~UpstreamClient() = default;

std::unique_ptr<UpstreamClient::Handle> UpstreamClient::takeHandle() {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            auto handle = std::move(m_idle.back());
            m_idle.pop_back();
            return handle;
        }
    }
    return std::make_unique<Handle>();
}

void UpstreamClient::returnHandle(std::unique_ptr<Handle> handle) {
    const std::lock_guard lock(m_mutex);
    m_idle.push_back(std::move(handle));
}

Result<UpstreamReply> UpstreamClient::perform(Method method, const std::string& path, const std::string* json,
                                              const std::vector<FormPart>* parts, double timeoutSeconds) {
    auto handle = takeHandle();
    CURL* curl = handle->curl;
    if (!curl) {
        return ServiceError::make(HttpStatus::internalError, "could not start an upstream request");
    }
    curl_easy_reset(curl);
    const std::string url = m_baseUrl + path;
    Collector collector;
    CurlList headers;
    CurlForm form;
    if (!m_apiKey.empty()) {
        headers.append("Authorization: Bearer " + m_apiKey);
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L); // a redirect would carry the key elsewhere
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);       // several threads; no SIGALRM for DNS
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(timeoutSeconds * 1000));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(std::min(timeoutSeconds, 10.0) * 1000));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collector);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "orlavo-server");
    if (method == Method::postJson) {
        headers.append("Content-Type: application/json");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, json->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(json->size()));
    } else if (method == Method::postForm) {
        form.mime = curl_mime_init(curl);
        for (const FormPart& part : *parts) {
            curl_mimepart* field = curl_mime_addpart(form.mime);
            curl_mime_name(field, part.name.c_str());
            curl_mime_data(field, part.content.data(), part.content.size());
            if (!part.fileName.empty()) {
                curl_mime_filename(field, part.fileName.c_str());
            }
            if (!part.contentType.empty()) {
                curl_mime_type(field, part.contentType.c_str());
            }
        }
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, form.mime);
        // curl would otherwise send "Expect: 100-continue" and wait up to a second for servers
        // that ignore it.
        headers.append("Expect:");
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    // Drop the references to this call's buffers before the handle goes back to the pool.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, nullptr);
    curl_mime_free(form.mime);
    form.mime = nullptr;
    returnHandle(std::move(handle));

    if (code == CURLE_OPERATION_TIMEDOUT) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
        return ServiceError::make(HttpStatus::gatewayTimeout,
                                  std::string("upstream timeout: no answer within ") + seconds + " s");
    }
    if (code == CURLE_WRITE_ERROR && collector.overflow) {
        return ServiceError::make(HttpStatus::badGateway, "upstream answer is too large");
    }
    if (code != CURLE_OK) {
        return ServiceError::make(HttpStatus::badGateway,
                                  std::string("upstream unreachable: ") + curl_easy_strerror(code));
    }
    return UpstreamReply{status, std::move(collector.body)};
}

std::string UpstreamClient::shown(const std::string& url) {
    const auto scheme = url.find("://");
    const std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t authorityEnd = std::min(url.find_first_of("/?#", hostStart), url.size());
    const auto at = url.rfind('@', authorityEnd - 1);
    if (at == std::string::npos || at < hostStart || authorityEnd == hostStart) {
        return url;
    }
    return url.substr(0, hostStart) + "***" + url.substr(at);
}

PTTError UpstreamClient::statusError(long status, const std::string& body) {
    // OpenAI-style APIs explain themselves in {"error": {"message": ...}}; others send text.
    std::string detail;
    const auto parsed = nlohmann::json::parse(body, nullptr, false);
    if (!parsed.is_discarded() && parsed.is_object()) {
        const auto error = parsed.find("error");
        if (error != parsed.end() && error->is_object() && error->contains("message") &&
            (*error)["message"].is_string()) {
            detail = (*error)["message"].get<std::string>();
        } else if (error != parsed.end() && error->is_string()) {
            detail = error->get<std::string>();
        }
    } else {
        detail = body;
    }
    std::string reason = "upstream answered " + std::to_string(status);
    if (const std::string line = oneLine(detail); !line.empty()) {
        reason += ": " + line;
    }
    return ServiceError::make(HttpStatus::badGateway, reason);
}

Result<std::string> UpstreamClient::expectSuccess(Result<UpstreamReply> reply) {
    if (!reply) {
        return reply.error();
    }
    if (reply->status < 200 || reply->status > 299) {
        return statusError(reply->status, reply->body);
    }
    return std::move(reply).value().body;
}

Result<std::string> UpstreamClient::postJson(const std::string& path, const std::string& json) {
    return expectSuccess(perform(Method::postJson, path, &json, nullptr, m_timeoutSeconds));
}

Result<std::string> UpstreamClient::postForm(const std::string& path, const std::vector<FormPart>& parts) {
    return expectSuccess(perform(Method::postForm, path, nullptr, &parts, m_timeoutSeconds));
}

Result<UpstreamReply> UpstreamClient::get(const std::string& path, double timeoutSeconds) {
    return perform(Method::get, path, nullptr, nullptr, timeoutSeconds);
}
