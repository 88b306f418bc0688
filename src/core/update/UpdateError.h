#pragma once

#include "core/common/ErrorDomain.h"
#include "core/common/PTTError.h"

// Failures of the installation step, reported in the "Kestrov.Update" domain.
enum class UpdateError {
    unzipFailed = 1,
    appNotFound = 2,
    currentAppNotFound = 3,
    // The package does not match the checksum the feed announced.
    checksumMismatch = 4,
    // Something answered the package request that was not an HTTP server.
    notHTTPResponse = 5,
    // Updates need a feed, and this build or environment names none.
    notConfigured = 6,
    // The feed has no signature, or one the built-in key does not confirm.
    unsignedFeed = 7,
    badSignature = 8,
    // The feed leaves out the package's checksum or size.
    incompleteFeed = 9,
    // The download went past the announced size, or ended short of it.
    wrongSize = 10,
    // The unpacked package would exceed the limits on files or bytes.
    packageTooLarge = 11,
};

inline const QString& errorDomain(UpdateError) {
    return ErrorDomain::update;
}

QString updateErrorDescription(UpdateError error);
PTTError makeUpdateError(UpdateError error);
