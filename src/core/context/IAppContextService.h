#pragma once

#include "core/context/AppContextType.h"

#include <QString>

#include <optional>

class IAppContextService {
public:
    virtual ~IAppContextService() = default;

    virtual AppContextType appType(const std::optional<QString>& appName) const = 0;
    virtual QString applyContextFormatting(const QString& text,
                                           const std::optional<QString>& appName) const = 0;
};
