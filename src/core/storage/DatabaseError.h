#pragma once

#include "core/common/ErrorDomain.h"

// Codes of the "Kestrov.Database" domain.
enum class DatabaseError { cannotOpen = 1, schemaFailed = 2, changeFailed = 500, cannotPrepare = 501 };

inline const QString& errorDomain(DatabaseError) {
    return ErrorDomain::database;
}
