#pragma once

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// A value that arrives later on the main thread, awaited by any number of coroutines. set() resumes
// the waiters at once, inside the call; later awaits complete immediately. Copies share the value.
template <typename T>
class PendingValue {
    struct State {
        std::optional<T> value;
        std::vector<std::coroutine_handle<>> waiters;
    };

public:
    class Awaiter {
    public:
        explicit Awaiter(std::shared_ptr<State> state)
            : m_state(std::move(state)) {}
        bool await_ready() const noexcept { return m_state->value.has_value(); }
        void await_suspend(std::coroutine_handle<> waiter) { m_state->waiters.push_back(waiter); }
        T await_resume() const { return *m_state->value; }

    private:
        std::shared_ptr<State> m_state;
    };

    Awaiter operator co_await() const { return Awaiter(m_state); }

    bool isSet() const { return m_state->value.has_value(); }

    // Only the first value counts.
    void set(T value) {
        if (m_state->value) {
            return;
        }
        m_state->value = std::move(value);
        const auto state = m_state; // a waiter may drop the last other copy
        const auto waiters = std::move(state->waiters);
        for (const std::coroutine_handle<> waiter : waiters) {
            waiter.resume();
        }
    }

private:
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
