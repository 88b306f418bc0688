#pragma once

#include "ports/FrontApplication.h"

class ScriptedFrontApplication final : public FrontApplication {
public:
    std::optional<FrontApplicationInfo> current() const override { return application; }

    std::optional<FrontApplicationInfo> application;
};
