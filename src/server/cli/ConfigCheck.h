#pragma once

#include "server/config/ServerConfig.h"

#include <QString>

#include <cstdio>

// orlavo-server --check: the configuration the server would use, secrets masked, and whether
// each configured engine answers. Writes nothing. Returns the exit status: 0 when every
// configured engine answered.
namespace ConfigCheck {

int run(const ServerConfig& config, const QString& configFile, const QString& tokenFile, std::FILE* out);

// "not set", or the length and the last four characters of a long secret.
std::string maskSecret(const std::string& secret);

} // namespace ConfigCheck
