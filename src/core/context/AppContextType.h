#pragma once

#include "core/model/EnumTraits.h"

#include <array>

// The kind of application the text goes into.
enum class AppContextType { chat, code, email, notes, other };

template <>
struct EnumTraits<AppContextType> {
    static constexpr std::array<EnumCase<AppContextType>, 5> cases{{
        {AppContextType::chat, "chat", "Chat", ""},
        {AppContextType::code, "code", "Code", ""},
        {AppContextType::email, "email", "Email", ""},
        {AppContextType::notes, "notes", "Notes", ""},
        {AppContextType::other, "other", "Other", ""},
    }};
};
