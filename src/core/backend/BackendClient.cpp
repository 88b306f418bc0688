#include "core/backend/BackendClient.h"

#include "core/backend/BackendError.h"
#include "core/backend/BackendToken.h"
#include "core/backend/BackendUrl.h"
#include "core/backend/LoopbackListener.h"
#include "core/common/CoreLogging.h"
#include "core/common/ErrorCode.h"
#include "core/net/NetworkError.h"
#include "core/text/ControlCharacters.h"

#include <QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

// Set on replies the client aborts itself, to tell that end from Qt's transfer time-out (both
// are OperationCanceledError).
const char* const abortedByOwnerProperty = "orlavoAbortedByOwner";

int milliseconds(double seconds) {
    return static_cast<int>(std::clamp(std::round(seconds * 1000.0), 1.0, 2147483647.0));
}

// Line breaks and other control characters cannot travel in a header (a raw line break would
// even start a header of its own); everything else goes as its UTF-8 bytes.
QByteArray headerValue(const QString& text) {
    QString folded = text;
    for (QChar& character : folded) {
        const auto category = character.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph) {
            character = QLatin1Char(' ');
        }
    }
    return folded.toUtf8();
}

PTTError backendError(const QByteArray& body, int httpStatus) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError()) {
        text = QStringLiteral("Unknown backend error");
    }
    return makeError(BackendError::refused, text, httpStatus);
}

template <typename Record>
Result<Record> decode(const Result<QByteArray>& body) {
    if (!body) {
        return body.error();
    }
    return Record::fromJson(body.value());
}

} // namespace

BackendClient::BackendClient(SettingsProvider settingsProvider, TokenProvider tokenProvider,
                             BackendClientOptions options, QObject* parent)
    : QObject(parent)
    , m_settingsProvider(std::move(settingsProvider))
    , m_tokenProvider(std::move(tokenProvider))
    , m_options(std::move(options))
    , m_network(m_options.networkAccessManager) {
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
    }
}

BackendClient::~BackendClient() {
    // Aborting finishes each reply at once, so every waiting call completes now, while the
    // client still exists, instead of waiting forever on a reply that is deleted.
    const auto running = m_inFlight;
    for (const QPointer<QNetworkReply>& reply : running) {
        if (reply && !reply->isFinished()) {
            reply->setProperty(abortedByOwnerProperty, true);
            reply->abort();
        }
    }
}

QCoro::Task<Result<PTTHealthResponse>> BackendClient::health() {
    auto body =
        co_await send(m_settingsProvider(), Method::get, BackendUrl::healthPath, HeaderList(), QByteArray());
    co_return decode<PTTHealthResponse>(body);
}

QCoro::Task<Result<PTTTranscribeResponse>> BackendClient::transcribe(QByteArray audioData, QString filename,
                                                                     QString mimeType) {
    const PTTSettings settings = m_settingsProvider();
    HeaderList headers;
    headers.append({QByteArrayLiteral("Content-Type"), mimeType});
    headers.append({QByteArrayLiteral("x-ptt-filename"), filename});
    if (!settings.sttLanguage.isEmpty()) {
        headers.append({QByteArrayLiteral("x-ptt-language-hint"), settings.sttLanguage});
    }
    if (!settings.sttPrompt.isEmpty()) {
        headers.append({QByteArrayLiteral("x-ptt-prompt"), settings.sttPrompt});
    }
    auto body = co_await send(settings, Method::post, BackendUrl::transcribePath, std::move(headers),
                              std::move(audioData));
    auto response = decode<PTTTranscribeResponse>(body);
    if (response && response->text) {
        response.value().text = ControlCharacters::strip(*response->text);
    }
    co_return response;
}

QCoro::Task<Result<PTTEditResponse>> BackendClient::edit(PTTEditRequest request) {
    HeaderList headers;
    headers.append({QByteArrayLiteral("Content-Type"), QStringLiteral("application/json")});
    auto body = co_await send(m_settingsProvider(), Method::post, BackendUrl::editPath, std::move(headers),
                              request.toJson());
    auto response = decode<PTTEditResponse>(body);
    if (response && response->text) {
        response.value().text = ControlCharacters::strip(*response->text);
    }
    co_return response;
}

QCoro::Task<Result<PTTHealthResponse>> BackendClient::reloadService() {
    auto body =
        co_await send(m_settingsProvider(), Method::post, BackendUrl::reloadPath, HeaderList(), QByteArray());
    co_return decode<PTTHealthResponse>(body);
}

void BackendClient::warmUp(const QUrl& url) {
    if (LoopbackListener::foreignOwner(url, ::getuid(), m_options.socketTables)) {
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(milliseconds(m_options.warmUpTimeoutSeconds));
    QNetworkReply* reply = m_network->head(request);
    track(reply);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

QCoro::Task<Result<QByteArray>> BackendClient::send(PTTSettings settings, Method method, QString path,
                                                    HeaderList headers, QByteArray body) {
    const auto url = BackendUrl::join(settings.backendBaseURL, path);
    if (!url) {
        co_return NetworkError::make(NetworkError::Code::badURL);
    }
    if (const auto refusal = LoopbackListener::foreignOwner(*url, ::getuid(), m_options.socketTables)) {
        co_return makeError(BackendError::refused, *refusal);
    }
    QNetworkRequest request(*url);
    request.setTransferTimeout(milliseconds(m_options.timeoutSeconds));
    // A redirect elsewhere would carry the bearer token to whoever it names.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    for (const auto& [name, value] : headers) {
        request.setRawHeader(name, headerValue(value));
    }
    if (const auto token = tokenFor(*url); token && !token->isEmpty()) {
        request.setRawHeader("Authorization", "Bearer " + headerValue(*token));
    }

    QNetworkReply* reply = method == Method::get ? m_network->get(request) : m_network->post(request, body);
    track(reply);
    QPointer<QNetworkReply> alive(reply);
    co_await reply;
    // Only locals from here on: this resumes inside the destructor when the client goes away.
    if (!alive) {
        co_return NetworkError::make(NetworkError::Code::cancelled);
    }
    reply->deleteLater();

    // Qt numbers connection, time-out and proxy failures below its content errors; only those
    // above come with an answer whose status and body mean something. A transfer cut off after
    // the headers is a transport failure, not a short answer.
    const QNetworkReply::NetworkError error = reply->error();
    const bool transportFailed =
        error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!transportFailed && status.isValid()) {
        const QByteArray answer = reply->readAll();
        const int code = status.toInt();
        qCDebug(lcBackend) << path << "answered" << code;
        if (code < 200 || code > 299) {
            co_return backendError(answer, code);
        }
        co_return answer;
    }
    NetworkError::Ending ending = NetworkError::Ending::byServer;
    if (reply->property(abortedByOwnerProperty).toBool()) {
        ending = NetworkError::Ending::byOwner;
    } else if (error == QNetworkReply::OperationCanceledError) {
        // Nothing else cancels a request of ours: this is the transfer time-out.
        ending = NetworkError::Ending::byTimeout;
    }
    qCDebug(lcBackend) << path << "failed:" << reply->errorString();
    co_return NetworkError::fromReply(error, ending, reply->errorString());
}

std::optional<QString> BackendClient::tokenFor(const QUrl& url) const {
    auto token = m_tokenProvider ? m_tokenProvider() : std::nullopt;
    if (token && !token->isEmpty()) {
        return token;
    }
    if (!m_options.serverTokenFile.isEmpty() && BackendUrl::isLoopback(url) &&
        BackendToken::servesUrl(BackendToken::serverAddressFile(m_options.serverTokenFile), url)) {
        return BackendToken::readServerTokenFile(m_options.serverTokenFile);
    }
    return token;
}

void BackendClient::track(QNetworkReply* reply) {
    m_inFlight.removeIf([](const QPointer<QNetworkReply>& entry) { return !entry || entry->isFinished(); });
    m_inFlight.append(reply);
}
