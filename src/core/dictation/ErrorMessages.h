#pragma once

#include "core/common/PTTError.h"

#include <QString>

// The short words the overlay shows for a failed dictation; the full description stays in the
// event.
struct ContextualErrorMessage {
    QString message;
    // A transport failure: the service could not be reached.
    bool serverUnreachable = false;
};

namespace ErrorMessages {

ContextualErrorMessage contextualErrorMessage(const PTTError& error);

} // namespace ErrorMessages
