#pragma once

#include "core/model/SnippetEntry.h"
#include "core/text/IcuRegex.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// Finds the snippet an utterance names: "my email", "Insert my email.", "por favor escribe mi
// correo". Built once from the stored snippets (in their stored order) and reused until they change.
class SnippetMatcher final {
public:
    explicit SnippetMatcher(const std::vector<SnippetEntry>& snippets);

    bool isEmpty() const { return m_bodyByTrigger.isEmpty(); }

    // The body of the first snippet (in the given order) whose trigger the utterance names.
    std::optional<QString> match(const QString& utterance) const;

    // The utterance as triggers are compared with it: lower case, no trailing punctuation, other
    // punctuation and runs of white space as one space.
    QString normalize(const QString& utterance) const;

private:
    std::optional<QString> bodyFor(const QString& candidate) const;

    // Lower-cased, trimmed trigger → body of the first snippet with that trigger.
    QHash<QString, QString> m_bodyByTrigger;
    IcuRegex m_trailingPunctuation;
    IcuRegex m_punctuation;
    IcuRegex m_whiteSpace;
};
