#include "core/update/UpdateError.h"

#include "core/common/ErrorCode.h"

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
    case UpdateError::unsignedFeed:
        return QStringLiteral("The update feed is not signed.");
    case UpdateError::badSignature:
        return QStringLiteral("The update feed’s signature is not valid.");
    case UpdateError::incompleteFeed:
        return QStringLiteral("The update feed does not give the package’s checksum and size.");
    case UpdateError::wrongSize:
        return QStringLiteral("The downloaded update does not have the announced size.");
    case UpdateError::packageTooLarge:
        return QStringLiteral("The update package is too large to unpack.");
    }
    return {};
}

PTTError makeUpdateError(UpdateError error) {
    return makeError(error, updateErrorDescription(error));
}
