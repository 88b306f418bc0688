#pragma once

#include "ports/FrontApplication.h"

// The application in front, as the test sets it (absent: no window has the focus).
class StubFrontApplication final : public FrontApplication {
public:
    std::optional<FrontApplicationInfo> current() const override {
        if (!name) {
            return std::nullopt;
        }
        return FrontApplicationInfo{*name, *name, name->toLower()};
    }

    std::optional<QString> name = QStringLiteral("TextEdit");
};
