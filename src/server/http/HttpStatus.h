#pragma once

#include "core/common/ErrorDomain.h"

// The statuses the service answers with. A refusal is a PTTError of the backend domain whose code
// is the status itself, so the value is the one on the wire.
enum class HttpStatus {
    ok = 200,
    badRequest = 400,
    unauthorized = 401,
    notFound = 404,
    methodNotAllowed = 405,
    requestTimeout = 408,
    lengthRequired = 411,
    payloadTooLarge = 413,
    unsupportedMediaType = 415,
    unprocessableContent = 422,
    tooManyRequests = 429,
    headerFieldsTooLarge = 431,
    // The client went away before the answer; never sent, only logged.
    clientClosedRequest = 499,
    internalError = 500,
    notImplemented = 501,
    badGateway = 502,
    serviceUnavailable = 503,
    gatewayTimeout = 504,
};

inline const QString& errorDomain(HttpStatus) {
    return ErrorDomain::backend;
}

constexpr int statusCode(HttpStatus status) {
    return static_cast<int>(status);
}
