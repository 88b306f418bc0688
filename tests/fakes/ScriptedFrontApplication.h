#pragma once

#include "core/ports/FrontApplication.h"

// The application in front, as the test sets it (absent: no window has the focus).
class ScriptedFrontApplication final : public FrontApplication {
public:
    std::optional<FrontApplicationInfo> current() const override { return application; }
    void show(const QString& name) { application = FrontApplicationInfo{name, name, name.toLower()}; }

    std::optional<FrontApplicationInfo> application;
};
