#pragma once

#include "core/common/ErrorDomain.h"

// Codes of the "Kestrov.Backend" domain as the app sees it. The service's own refusals carry
// their HTTP status in PTTError::httpStatus; the code only says that the service refused.
enum class BackendError {
    // An answer outside 2xx (the body is the description), or a service address held by a
    // program of another user.
    refused = 1,
};

inline const QString& errorDomain(BackendError) {
    return ErrorDomain::backend;
}
