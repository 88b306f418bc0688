#include "core/net/NetworkError.h"

#include "core/common/ErrorDomain.h"

namespace NetworkError {

PTTError make(Code code) {
    QString description;
    switch (code) {
    case cancelled:
        description = QStringLiteral("cancelled");
        break;
    case badURL:
        description = QStringLiteral("unsupported URL");
        break;
    case timedOut:
        description = QStringLiteral("The request timed out.");
        break;
    case cannotFindHost:
        description = QStringLiteral("A server with the specified hostname could not be found.");
        break;
    case cannotConnectToHost:
        description = QStringLiteral("Could not connect to the server.");
        break;
    case networkConnectionLost:
        description = QStringLiteral("The network connection was lost.");
        break;
    case notConnectedToInternet:
        description = QStringLiteral("The Internet connection appears to be offline.");
        break;
    case secureConnectionFailed:
        description =
            QStringLiteral("An SSL error has occurred and a secure connection to the server cannot be made.");
        break;
    case unknown:
        description = QStringLiteral("An unknown network error occurred.");
        break;
    }
    return PTTError{ErrorDomain::network, code, description};
}

PTTError fromReply(QNetworkReply::NetworkError error, Ending ending, const QString& qtDescription) {
    if (ending == Ending::byTimeout) {
        return make(timedOut);
    }
    switch (error) {
    case QNetworkReply::OperationCanceledError:
        return make(ending == Ending::byOwner ? cancelled : timedOut);
    case QNetworkReply::TimeoutError:
        return make(timedOut);
    case QNetworkReply::ConnectionRefusedError:
        return make(cannotConnectToHost);
    case QNetworkReply::HostNotFoundError:
        return make(cannotFindHost);
    case QNetworkReply::RemoteHostClosedError:
        return make(networkConnectionLost);
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return make(notConnectedToInternet);
    case QNetworkReply::SslHandshakeFailedError:
        return make(secureConnectionFailed);
    case QNetworkReply::ProtocolUnknownError:
        return make(badURL);
    default:
        break;
    }
    PTTError other = make(unknown);
    if (!qtDescription.isEmpty()) {
        other.description = qtDescription;
    }
    return other;
}

} // namespace NetworkError
