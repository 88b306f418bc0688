#pragma once

#include "core/common/ErrorDomain.h"
#include "core/common/PTTError.h"

#include <QNetworkReply>

// Transport failures in ErrorDomain::network, with the codes and descriptions of the URL-loading
// convention, so that the retry and message rules read them the same on every network stack.
namespace NetworkError {

enum class Code {
    cancelled = -999,
    badURL = -1000,
    timedOut = -1001,
    cannotFindHost = -1003,
    cannotConnectToHost = -1004,
    networkConnectionLost = -1005,
    notConnectedToInternet = -1009,
    secureConnectionFailed = -1200,
    unknown = -1,
};

inline const QString& errorDomain(Code) {
    return ErrorDomain::network;
}

PTTError make(Code code);

// How the client ended the request, when it did: Qt reports both as OperationCanceledError.
enum class Ending { byServer, byTimeout, byOwner };

// The error of a reply that got no HTTP answer.
PTTError fromReply(QNetworkReply::NetworkError error, Ending ending, const QString& qtDescription);

} // namespace NetworkError
