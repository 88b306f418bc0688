#pragma once

#include "core/ports/KeyEventSource.h"

// No session keys can be observed: start() refuses.
class NullKeyEventSource final : public KeyEventSource {
public:
    bool start(Handler) override { return false; }
    void stop() override {}
    bool isEnabled() const override { return false; }
    bool enable() override { return false; }
    void setOnDisabled(std::function<void()>) override {}
};
