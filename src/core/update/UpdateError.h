#pragma once

#include "common/PTTError.h"

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
};

QString updateErrorDescription(UpdateError error);
PTTError makeUpdateError(UpdateError error);
