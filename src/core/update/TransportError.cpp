#include "TransportError.h"

#include "common/ErrorDomain.h"

PTTError transportError(QNetworkReply::NetworkError error, const QString& qtDescription) {
    const auto make = [](int code, const char* description) {
        return PTTError{ErrorDomain::network, code, QString::fromUtf8(description)};
    };
    switch (error) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return make(-1001, "The request timed out.");
    case QNetworkReply::ConnectionRefusedError:
        return make(-1004, "Could not connect to the server.");
    case QNetworkReply::HostNotFoundError:
        return make(-1003, "A server with the specified hostname could not be found.");
    case QNetworkReply::RemoteHostClosedError:
        return make(-1005, "The network connection was lost.");
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return make(-1009, "The Internet connection appears to be offline.");
    case QNetworkReply::SslHandshakeFailedError:
        return make(-1200, "An SSL error has occurred and a secure connection to the server cannot be made.");
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
        return make(-1000, "unsupported URL");
    default:
        break;
    }
    // Anything else keeps Qt's own wording, in the same domain so callers can tell it from an answer.
    return PTTError{ErrorDomain::network, -1, qtDescription};
}
