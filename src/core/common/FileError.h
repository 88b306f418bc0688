#pragma once

#include "core/common/ErrorDomain.h"
#include "core/common/PTTError.h"

// Codes of the "Kestrov.File" domain, after the file-system error convention of other desktops.
// The multi-step jobs (installing an update, unpacking an archive) number their own failures
// within this domain (InstallError, ExtractError).
enum class FileError {
    unknown = 0,
    // A configuration or desktop file could not be read or written; the description says which.
    failed = 1,
    // What was asked to be written was refused before anything was written.
    refused = 2,
    // The folder that held a remembered file is gone.
    noSuchFile = 4,
    readUnknown = 256,
    readNoPermission = 257,
    readCorruptFile = 259,
    readNoSuchFile = 260,
    readUnsupportedScheme = 262,
    writeUnknown = 512,
    writeNoPermission = 513,
    writeOutOfSpace = 640,
    writeVolumeReadOnly = 642,
};

inline const QString& errorDomain(FileError) {
    return ErrorDomain::file;
}

// An operating-system failure passed through as it stands: the code is the errno value.
inline PTTError systemFileError(int errnoValue, QString description) {
    return PTTError{ErrorDomain::file, errnoValue, std::move(description)};
}
