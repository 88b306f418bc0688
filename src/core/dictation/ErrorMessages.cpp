#include "core/dictation/ErrorMessages.h"

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/dictation/PipelineError.h"

namespace ErrorMessages {

ContextualErrorMessage contextualErrorMessage(const PTTError& error) {
    const QString description = error.description.toLower();
    const auto mentions = [&description](const char* word) {
        return description.contains(QLatin1String(word));
    };
    if (hasErrorCode(error, PipelineError::commandsNeedEditService)) {
        return {QStringLiteral("Commands need an AI service")};
    }
    // The text tests come first: a time-out is a transport error too, but "slow" says more.
    if (mentions("401") || mentions("invalid") || mentions("expired")) {
        return {QStringLiteral("Account issue \u2014 check Settings")};
    }
    if (mentions("timeout") || mentions("timed out")) {
        return {QStringLiteral("Server slow \u2014 try again")};
    }
    if (error.domain == ErrorDomain::network) {
        return {QStringLiteral("No connection"), true};
    }
    if (mentions("no speech") || mentions("too short")) {
        return {QStringLiteral("No speech detected")};
    }
    return {QStringLiteral("Try again")};
}

} // namespace ErrorMessages
