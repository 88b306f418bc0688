#pragma once

#include "core/backend/ServerEngineChoice.h"
#include "core/common/Result.h"

#include <QString>

#include <optional>

// The engine part of orlavo-server's server.json, read and written by the app. Writing changes
// only the engine keys: whatever else the user wrote by hand stays as it was. The file is replaced
// in one step (a temporary file renamed over it) and is readable by the user alone, since it may
// hold the service's key. Input the server would refuse is refused here, and the file is left
// untouched.
namespace ServerConfigFile {

// The choice stored in `path`; the defaults when the file does not exist.
Result<ServerEngineChoice> read(const QString& path);

// Why `choice` cannot be stored, in a sentence for the user; nothing when it can.
std::optional<QString> problem(const ServerEngineChoice& choice);

std::optional<PTTError> write(const QString& path, const ServerEngineChoice& choice);

} // namespace ServerConfigFile
