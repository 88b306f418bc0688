#pragma once

#include "core/ports/FrontApplication.h"

// No application is ever in front.
class NullFrontApplication final : public FrontApplication {
public:
    std::optional<FrontApplicationInfo> current() const override { return std::nullopt; }
};
