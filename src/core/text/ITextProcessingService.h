#pragma once

#include <QString>

#include <optional>

// The local clean-up of a transcript, in the order the controller calls it: matchSnippet, then
// applyDictionary, removeFillers and applyPunctuationCommands.
class ITextProcessingService {
public:
    virtual ~ITextProcessingService() = default;

    virtual std::optional<QString> matchSnippet(const QString& text) = 0;
    virtual QString applyDictionary(const QString& text) = 0;
    virtual QString removeFillers(const QString& text) const = 0;
    virtual QString applyPunctuationCommands(const QString& text) const = 0;
};
