#pragma once

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/PTTError.h"
#include "server/http/HttpStatus.h"

#include <string>

// Every refusal of the service is a PTTError of the backend domain whose code is the HTTP status to
// answer and whose description is the one-line reason sent as the body. Engines report their
// failures the same way, so a handler only forwards what it is given.
namespace ServiceError {

inline PTTError make(HttpStatus status, const std::string& reason) {
    return makeError(status, QString::fromStdString(reason));
}

inline std::string reason(const PTTError& error) {
    return error.description.toStdString();
}

} // namespace ServiceError
