#include "core/net/NetworkError.h"

#include "core/common/ErrorCode.h"

namespace NetworkError {

PTTError make(Code code) {
    QString description;
    switch (code) {
    case Code::cancelled:
        description = QStringLiteral("cancelled");
        break;
    case Code::badURL:
        description = QStringLiteral("unsupported URL");
        break;
    case Code::timedOut:
        description = QStringLiteral("The request timed out.");
        break;
    case Code::cannotFindHost:
        description = QStringLiteral("A server with the specified hostname could not be found.");
        break;
    case Code::cannotConnectToHost:
        description = QStringLiteral("Could not connect to the server.");
        break;
    case Code::networkConnectionLost:
        description = QStringLiteral("The network connection was lost.");
        break;
    case Code::notConnectedToInternet:
        description = QStringLiteral("The Internet connection appears to be offline.");
        break;
    case Code::secureConnectionFailed:
        description =
            QStringLiteral("An SSL error has occurred and a secure connection to the server cannot be made.");
        break;
    case Code::unknown:
        description = QStringLiteral("An unknown network error occurred.");
        break;
    }
    return makeError(code, description);
}

PTTError fromReply(QNetworkReply::NetworkError error, Ending ending, const QString& qtDescription) {
    if (ending == Ending::byTimeout) {
        return make(Code::timedOut);
    }
    switch (error) {
    case QNetworkReply::OperationCanceledError:
        return make(ending == Ending::byOwner ? Code::cancelled : Code::timedOut);
    case QNetworkReply::TimeoutError:
        return make(Code::timedOut);
    case QNetworkReply::ConnectionRefusedError:
        return make(Code::cannotConnectToHost);
    case QNetworkReply::HostNotFoundError:
        return make(Code::cannotFindHost);
    case QNetworkReply::RemoteHostClosedError:
        return make(Code::networkConnectionLost);
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return make(Code::notConnectedToInternet);
    case QNetworkReply::SslHandshakeFailedError:
        return make(Code::secureConnectionFailed);
    case QNetworkReply::ProtocolUnknownError:
        return make(Code::badURL);
    default:
        break;
    }
    PTTError other = make(Code::unknown);
    if (!qtDescription.isEmpty()) {
        other.description = qtDescription;
    }
    return other;
}

} // namespace NetworkError
