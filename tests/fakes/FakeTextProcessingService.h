#pragma once

#include "ServiceCallLog.h"
#include "core/text/ITextProcessingService.h"

#include <QHash>
#include <QList>
#include <QPair>

// A text pipeline small enough to predict: snippets match the whole transcript (case and a
// final full stop ignored), dictionary entries replace substrings, "um " is the only filler and
// " period" the only spoken punctuation.
class FakeTextProcessingService final : public ITextProcessingService {
public:
    std::optional<QString> matchSnippet(const QString& text) override {
        logCall(log, QStringLiteral("text:matchSnippet"));
        QString key = text.trimmed().toLower();
        if (key.endsWith(QLatin1Char('.'))) {
            key.chop(1);
        }
        const auto found = snippets.constFind(key);
        return found == snippets.cend() ? std::nullopt : std::optional(*found);
    }
    QString applyDictionary(const QString& text) override {
        logCall(log, QStringLiteral("text:applyDictionary"));
        QString result = text;
        for (const auto& [wrong, correct] : dictionary) {
            result.replace(wrong, correct);
        }
        return result;
    }
    QString removeFillers(const QString& text) const override {
        logCall(log, QStringLiteral("text:removeFillers"));
        return QString(text).remove(QStringLiteral("um "));
    }
    QString applyPunctuationCommands(const QString& text) const override {
        logCall(log, QStringLiteral("text:applyPunctuationCommands"));
        return QString(text).replace(QStringLiteral(" period"), QStringLiteral("."));
    }

    QHash<QString, QString> snippets; // lower-case trigger → body
    QList<QPair<QString, QString>> dictionary;
    ServiceCallLog* log = nullptr;
};
