#pragma once

#include "core/common/PTTError.h"

#include <QString>

#include <concepts>
#include <type_traits>

// An error code is an enum class with an `errorDomain(Code)` beside it, so a code never travels
// without its domain. PTTError keeps the plain integer: that is what logs, files and the wire see.
template <typename Code>
concept ErrorCode = std::is_enum_v<Code> && requires(Code code) {
    { errorDomain(code) } -> std::convertible_to<QString>;
};

template <ErrorCode Code>
PTTError makeError(Code code, QString description, int httpStatus = 0) {
    return PTTError{errorDomain(code), static_cast<int>(code), std::move(description), httpStatus};
}

template <ErrorCode Code>
bool hasErrorCode(const PTTError& error, Code code) {
    return error.domain == errorDomain(code) && error.code == static_cast<int>(code);
}
