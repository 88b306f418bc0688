#include "FakeBackendClient.h"

#include "core/backend/BackendError.h"
#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/ports/Scheduler.h"

QCoro::Task<Result<PTTHealthResponse>> FakeBackendClient::health() {
    ++healthChecks;
    logCall(log, QStringLiteral("backend:health"));
    const Result<PTTHealthResponse> answer = healthAnswer;
    if (latency > 0) {
        co_await m_scheduler.sleep(latency);
    }
    co_return answer;
}

QCoro::Task<Result<PTTHealthResponse>> FakeBackendClient::reloadService() {
    ++reloads;
    logCall(log, QStringLiteral("backend:reload"));
    const Result<PTTHealthResponse> answer = healthAnswer;
    if (latency > 0) {
        co_await m_scheduler.sleep(latency);
    }
    co_return answer;
}

QCoro::Task<Result<PTTTranscribeResponse>> FakeBackendClient::transcribe(QByteArray audioData,
                                                                         QString filename, QString mimeType) {
    if (onUpload) {
        onUpload();
    }
    uploads.append(Upload{std::move(audioData), std::move(filename), std::move(mimeType)});
    logCall(log, QStringLiteral("backend:transcribe"));
    Result<PTTTranscribeResponse> answer = defaultTranscription;
    if (!transcriptions.empty()) {
        answer = transcriptions.front();
        transcriptions.pop_front();
    }
    if (latency > 0) {
        co_await m_scheduler.sleep(latency);
    }
    if (onTranscriptionAnswer) {
        onTranscriptionAnswer();
    }
    co_return answer;
}

QCoro::Task<Result<PTTEditResponse>> FakeBackendClient::edit(PTTEditRequest request) {
    edits.append(request);
    logCall(log, QStringLiteral("backend:edit:") + rawValue(request.mode));
    Result<PTTEditResponse> answer =
        editHandler ? editHandler(request)
                    : Result<PTTEditResponse>(PTTEditResponse{request.inputText, QStringLiteral("edit")});
    if (latency > 0) {
        co_await m_scheduler.sleep(latency);
    }
    co_return answer;
}

void FakeBackendClient::warmUp(const QUrl& url) {
    warmUps.append(url);
    logCall(log, QStringLiteral("backend:warmUp"));
}

Result<PTTTranscribeResponse> FakeBackendClient::transcript(const QString& text) {
    return PTTTranscribeResponse{text, QStringLiteral("en"), 1.5, QStringLiteral("request")};
}

PTTError FakeBackendClient::serviceError(const QString& body) {
    return makeError(BackendError::refused, body);
}

PTTError FakeBackendClient::transportError(int code, const QString& description) {
    return PTTError{ErrorDomain::network, code, description};
}
