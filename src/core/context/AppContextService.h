#pragma once

#include "core/context/IAppContextService.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// Classifies the application that receives the text by its display name (on X11 the window's
// class or name) and adapts the text to it: casual style for chat, straight quotes for code and
// terminals, sentence style for mail. Stateless; construct it without arguments.
class AppContextService final : public IAppContextService {
public:
    AppContextService() = default;
    Q_DISABLE_COPY_MOVE(AppContextService)

    // The first kind (chat, code, email, notes) with a word that occurs in the lower-cased name;
    // `other` when none does or the name is absent.
    AppContextType appType(const std::optional<QString>& appName) const override;
    QString applyContextFormatting(const QString& text, const std::optional<QString>& appName) const override;

    static QString formatForChat(const QString& text);
    static QString formatForCode(const QString& text);
    static QString formatForEmail(const QString& text);
};
