#pragma once

#include "core/backend/IBackendClient.h"
#include "core/model/PTTSettings.h"
#include "core/paths/AppPaths.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

struct BackendClientOptions {
    // Idle time after which a request fails as timed out (no bytes moved either way).
    double timeoutSeconds = 60.0;
    double warmUpTimeoutSeconds = 5.0;
    // orlavo-server's token, used only when the credentials give none and the service is on
    // this machine. Empty: never read.
    QString serverTokenFile = AppPaths::serverTokenFile();
    // The kernel's socket tables, to check whose server listens on a loopback address.
    QString socketTables = QStringLiteral("/proc/net");
    // The process's access manager, shared so that the warm-up and the calls use the same
    // connections. When none is given the client makes its own.
    QNetworkAccessManager* networkAccessManager = nullptr;
};

// The HTTP client of the transcription and edit service. It keeps no state between calls: the
// settings and the credential are asked for at every request, so edits take effect at once.
class BackendClient final
    : public QObject
    , public IBackendClient {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackendClient)

public:
    using SettingsProvider = std::function<PTTSettings()>;
    using TokenProvider = std::function<std::optional<QString>()>;

    BackendClient(SettingsProvider settingsProvider, TokenProvider tokenProvider,
                  BackendClientOptions options = {}, QObject* parent = nullptr);
    // Requests still running are aborted; their callers get a "cancelled" error.
    ~BackendClient() override;

    QCoro::Task<Result<PTTHealthResponse>> health() override;
    QCoro::Task<Result<PTTTranscribeResponse>> transcribe(QByteArray audioData, QString filename,
                                                          QString mimeType) override;
    QCoro::Task<Result<PTTEditResponse>> edit(PTTEditRequest request) override;
    QCoro::Task<Result<PTTHealthResponse>> reloadService() override;
    void warmUp(const QUrl& url) override;

    QNetworkAccessManager& networkAccessManager() const { return *m_network; }

private:
    using HeaderList = QList<QPair<QByteArray, QString>>;
    enum class Method { get, post };

    QCoro::Task<Result<QByteArray>> send(PTTSettings settings, Method method, QString path,
                                         HeaderList headers, QByteArray body);
    std::optional<QString> tokenFor(const QUrl& url) const;
    void track(QNetworkReply* reply);

    SettingsProvider m_settingsProvider;
    TokenProvider m_tokenProvider;
    BackendClientOptions m_options;
    QNetworkAccessManager* m_network = nullptr;
    QList<QPointer<QNetworkReply>> m_inFlight;
};
