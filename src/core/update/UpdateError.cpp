#include "UpdateError.h"

#include "common/ErrorDomain.h"

QString updateErrorDescription(UpdateError error) {
    switch (error) {
    case UpdateError::unzipFailed:
        return QStringLiteral("Failed to unzip the update.");
    case UpdateError::appNotFound:
        return QStringLiteral("Could not find the app in the update package.");
    case UpdateError::currentAppNotFound:
        return QStringLiteral("Could not locate the current app bundle or it is not writable.");
    case UpdateError::checksumMismatch:
        return QStringLiteral("The downloaded update does not match its checksum.");
    case UpdateError::notHTTPResponse:
        return QStringLiteral("The update server did not send an HTTP response.");
    case UpdateError::notConfigured:
        return QStringLiteral("Updates are not configured");
    }
    return {};
}

PTTError makeUpdateError(UpdateError error) {
    return PTTError{ErrorDomain::update, static_cast<int>(error), updateErrorDescription(error)};
}
