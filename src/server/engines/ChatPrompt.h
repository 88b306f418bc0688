#pragma once

#include <string>

// One edit for a chat model: the instructions, and the user's text wrapped for that job.
struct ChatPrompt {
    std::string system;
    std::string user;

    friend bool operator==(const ChatPrompt&, const ChatPrompt&) = default;
};
