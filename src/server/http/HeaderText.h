#pragma once

#include <optional>
#include <string>
#include <string_view>

// Header values that carry user text ("x-ptt-prompt", ...) must be UTF-8 without control
// characters: the app folds line breaks to spaces before sending, so anything else is refused.
namespace HeaderText {

// Why the value is refused, or nothing when it is fine.
std::optional<std::string> problem(std::string_view value);

} // namespace HeaderText
