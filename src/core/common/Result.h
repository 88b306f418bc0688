#pragma once

#include "core/common/PTTError.h"

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

// The outcome of a fallible operation: a value or a PTTError. Construct it from either; read it
// with ok(), value() and error().
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(PTTError error)
        : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& {
        assert(ok());
        return std::get<0>(m_state);
    }
    T& value() & {
        assert(ok());
        return std::get<0>(m_state);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(m_state));
    }
    const T* operator->() const { return &value(); }
    const T& operator*() const& { return value(); }

    const PTTError& error() const {
        assert(!ok());
        return std::get<1>(m_state);
    }

    T valueOr(T fallback) const& { return ok() ? value() : std::move(fallback); }

private:
    std::variant<T, PTTError> m_state;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(PTTError error)
        : m_error(std::move(error)) {}

    static Result success() { return {}; }

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }

    const PTTError& error() const {
        assert(!ok());
        return *m_error;
    }

private:
    std::optional<PTTError> m_error;
};
