#include "server/cli/CommandLine.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"

Result<CommandLine> CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    const auto refuse = [](const std::string& why) {
        return makeError(PlatformError::badArguments, QString::fromStdString(why));
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string value;
        if (argument == "--listen") {
            if (i + 1 >= arguments.size()) {
                return refuse("--listen needs HOST:PORT");
            }
            value = arguments[++i];
        } else if (argument.rfind("--listen=", 0) == 0) {
            value = argument.substr(9);
        } else if (argument == "--check") {
            line.action = Action::check;
            continue;
        } else if (argument == "--print-address") {
            line.action = Action::printAddress;
            continue;
        } else if (argument == "--version") {
            line.action = Action::version;
            continue;
        } else if (argument == "--help" || argument == "-h") {
            line.action = Action::help;
            continue;
        } else {
            return refuse("unknown argument \"" + argument + "\"");
        }
        line.listen = ListenAddress::parse(value);
        if (!line.listen) {
            return refuse("--listen needs HOST:PORT, not \"" + value + "\"");
        }
    }
    return line;
}

std::string CommandLine::usage() {
    return "Usage: orlavo-server [--listen HOST:PORT] [--check | --print-address | --version]\n"
           "\n"
           "The transcription and edit service of Orlavo. Configured by "
           "$XDG_CONFIG_HOME/Kestrov/server.json\n"
           "and ORLAVO_UPSTREAM_URL, ORLAVO_UPSTREAM_KEY, ORLAVO_TRANSCRIBE_MODEL, ORLAVO_EDIT_MODEL,\n"
           "ORLAVO_ENGINE.\n"
           "\n"
           "  --listen HOST:PORT  where to listen (default 127.0.0.1:27321; port 0 picks a free one)\n"
           "  --check             print the configuration in use (secrets masked), test each engine\n"
           "  --print-address     print the address it would listen on\n"
           "  --version           print the version\n";
}
