#pragma once

#include "core/common/Result.h"
#include "server/config/ListenAddress.h"

#include <optional>
#include <string>
#include <vector>

// orlavo-server [--listen HOST:PORT] [--check | --print-address | --version | --help]
struct CommandLine {
    enum class Action { serve, check, printAddress, version, help };

    Action action = Action::serve;
    std::optional<ListenAddress> listen;

    static Result<CommandLine> parse(const std::vector<std::string>& arguments);
    static std::string usage();
};
