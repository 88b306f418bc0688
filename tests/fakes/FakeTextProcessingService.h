#pragma once

#include "ServiceCallLog.h"
#include "text/ITextProcessingService.h"

#include <QHash>
#include <QList>
#include <QPair>

// A text pipeline small enough to predict: snippets match the whole transcript (case and a
// final full stop ignored), dictionary entries replace substrings, "um " is the only filler and
// " period" the only spoken punctuation.
class FakeTextProcessingService final : public ITextProcessingService {
public:
    std::optional<QString> matchSnippet(const QString& text) override;
    QString applyDictionary(const QString& text) override;
    QString removeFillers(const QString& text) const override;
    QString applyPunctuationCommands(const QString& text) const override;

    QHash<QString, QString> snippets; // lower-case trigger → body
    QList<QPair<QString, QString>> dictionary;
    ServiceCallLog* log = nullptr;
};
