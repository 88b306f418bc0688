#pragma once

#include <optional>
#include <string>

struct Transcript {
    std::string text;
    std::optional<std::string> language; // ISO 639-1, when the engine knows it
};
