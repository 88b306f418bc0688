#pragma once

#include "server/cli/CommandLine.h"

// The life of one orlavo-server process: configuration, token, engines, then serving until
// SIGINT or SIGTERM. Returns the exit status (0 served and stopped, 1 could not start, 2 bad
// configuration or arguments).
namespace ServerProgram {

int run(const CommandLine& commandLine);

} // namespace ServerProgram
