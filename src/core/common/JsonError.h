#pragma once

#include "core/common/ErrorDomain.h"

// Codes of the "Kestrov.JSON" domain: stored or received JSON that is not what it should be.
enum class JsonError { notJson = 1, missingValue = 2, invalidValue = 3 };

inline const QString& errorDomain(JsonError) {
    return ErrorDomain::json;
}
