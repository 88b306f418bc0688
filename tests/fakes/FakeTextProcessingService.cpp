#include "FakeTextProcessingService.h"

std::optional<QString> FakeTextProcessingService::matchSnippet(const QString& text) {
    logCall(log, QStringLiteral("text:matchSnippet"));
    QString key = text.trimmed().toLower();
    if (key.endsWith(QLatin1Char('.'))) {
        key.chop(1);
    }
    const auto found = snippets.constFind(key);
    if (found == snippets.cend()) {
        return std::nullopt;
    }
    return *found;
}

QString FakeTextProcessingService::applyDictionary(const QString& text) {
    logCall(log, QStringLiteral("text:applyDictionary"));
    QString result = text;
    for (const auto& [wrong, correct] : dictionary) {
        result.replace(wrong, correct);
    }
    return result;
}

QString FakeTextProcessingService::removeFillers(const QString& text) const {
    logCall(log, QStringLiteral("text:removeFillers"));
    QString result = text;
    return result.remove(QStringLiteral("um "));
}

QString FakeTextProcessingService::applyPunctuationCommands(const QString& text) const {
    logCall(log, QStringLiteral("text:applyPunctuationCommands"));
    QString result = text;
    return result.replace(QStringLiteral(" period"), QStringLiteral("."));
}
