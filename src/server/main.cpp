#include "server/cli/CommandLine.h"
#include "server/cli/ServerProgram.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    const auto commandLine = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!commandLine) {
        std::fprintf(stderr, "orlavo-server: %s\n\n%s", qPrintable(commandLine.error().description),
                     CommandLine::usage().c_str());
        return 2;
    }
    return ServerProgram::run(commandLine.value());
}
