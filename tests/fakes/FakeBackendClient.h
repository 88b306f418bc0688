#pragma once

#include "ServiceCallLog.h"
#include "core/backend/IBackendClient.h"

#include <QList>

#include <deque>
#include <functional>

class Scheduler;

// The service, answering from scripts. Each answer can take virtual time (latency) so that tests
// can act while the pipeline waits.
class FakeBackendClient final : public IBackendClient {
public:
    struct Upload {
        QByteArray audioData;
        QString filename;
        QString mimeType;
    };

    explicit FakeBackendClient(Scheduler& scheduler)
        : m_scheduler(scheduler) {}

    QCoro::Task<Result<PTTHealthResponse>> health() override;
    QCoro::Task<Result<PTTTranscribeResponse>> transcribe(QByteArray audioData, QString filename,
                                                          QString mimeType) override;
    QCoro::Task<Result<PTTEditResponse>> edit(PTTEditRequest request) override;
    QCoro::Task<Result<PTTHealthResponse>> reloadService() override;
    void warmUp(const QUrl& url) override;

    static Result<PTTTranscribeResponse> transcript(const QString& text);
    static PTTError serviceError(const QString& body);
    static PTTError transportError(int code, const QString& description);

    // Answers in order; once they run out, `defaultTranscription`.
    std::deque<Result<PTTTranscribeResponse>> transcriptions;
    Result<PTTTranscribeResponse> defaultTranscription = transcript(QStringLiteral("hello world"));
    // By default an edit answers its input unchanged.
    std::function<Result<PTTEditResponse>(const PTTEditRequest&)> editHandler;
    Result<PTTHealthResponse> healthAnswer =
        PTTHealthResponse{true, QStringLiteral("orlavo-server"), false, true, QStringLiteral("test")};
    double latency = 0;

    QList<Upload> uploads;
    QList<PTTEditRequest> edits;
    QList<QUrl> warmUps;
    int healthChecks = 0;
    int reloads = 0;
    ServiceCallLog* log = nullptr;
    // Called as each upload arrives, and just before it is answered (benchmarks take their
    // time here).
    std::function<void()> onUpload;
    std::function<void()> onTranscriptionAnswer;

private:
    Scheduler& m_scheduler;
};
