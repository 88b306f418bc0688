#pragma once

#include "ServiceCallLog.h"
#include "core/context/IAppContextService.h"

#include <QHash>

#include <functional>

// Application kinds by name; formatting is the identity unless the test gives a formatter.
class FakeAppContextService final : public IAppContextService {
public:
    AppContextType appType(const std::optional<QString>& appName) const override {
        return appName ? types.value(*appName, AppContextType::other) : AppContextType::other;
    }
    QString applyContextFormatting(const QString& text,
                                   const std::optional<QString>& appName) const override {
        logCall(log, QStringLiteral("context:format:") + appName.value_or(QStringLiteral("-")));
        return formatter ? formatter(text, appName) : text;
    }

    QHash<QString, AppContextType> types;
    std::function<QString(const QString&, const std::optional<QString>&)> formatter;
    ServiceCallLog* log = nullptr;
};
