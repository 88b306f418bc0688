#pragma once

#include "core/common/Result.h"
#include "core/wire/PTTEditRequest.h"
#include "core/wire/PTTEditResponse.h"
#include "core/wire/PTTHealthResponse.h"
#include "core/wire/PTTTranscribeResponse.h"

#include <QByteArray>
#include <QCoroTask>
#include <QString>
#include <QUrl>

// The transcription and edit service as the controller uses it. Every call is independent: no
// retries, no caching. Failures are transport errors (ErrorDomain::network), answers of the
// service outside 2xx (ErrorDomain::backend, code 1, the body as description) or an answer
// that is not the expected JSON (ErrorDomain::json).
class IBackendClient {
public:
    virtual ~IBackendClient() = default;

    virtual QCoro::Task<Result<PTTHealthResponse>> health() = 0;
    virtual QCoro::Task<Result<PTTTranscribeResponse>> transcribe(QByteArray audioData, QString filename,
                                                                  QString mimeType) = 0;
    virtual QCoro::Task<Result<PTTEditResponse>> edit(PTTEditRequest request) = 0;
    // Asks orlavo-server to apply its configuration file again; answers with its health after
    // the reload, or the reason it kept its engines.
    virtual QCoro::Task<Result<PTTHealthResponse>> reloadService() = 0;

    // Fire and forget: a HEAD request to `url` over the same connections the other calls use, so
    // that the upload that follows finds a connection already open. Its answer is ignored.
    virtual void warmUp(const QUrl& url) = 0;
};
