#include "core/text/SnippetMatcher.h"

#include "core/text/TextCharacters.h"

#include <array>

namespace {

// Ways of asking for a snippet in English and Spanish ("escrive" is how "escribe" is often heard).
const std::array<QString, 18>& commandPrefixes() {
    static const std::array<QString, 18> prefixes{
        QStringLiteral(u"insert "),
        QStringLiteral(u"paste "),
        QStringLiteral(u"add "),
        QStringLiteral(u"write "),
        QStringLiteral(u"put "),
        QStringLiteral(u"type "),
        QStringLiteral(u"inserta "),
        QStringLiteral(u"pega "),
        QStringLiteral(u"agrega "),
        QStringLiteral(u"escribe "),
        QStringLiteral(u"escrive "),
        QStringLiteral(u"pon "),
        QStringLiteral(u"please insert "),
        QStringLiteral(u"please paste "),
        QStringLiteral(u"can you insert "),
        QStringLiteral(u"por favor inserta "),
        QStringLiteral(u"por favor escribe "),
        QStringLiteral(u"por favor pega "),
    };
    return prefixes;
}

// Spanish words and English variants mapped to the English word a trigger is written with.
const QHash<QString, QString>& synonyms() {
    static const QHash<QString, QString> table{
        {QStringLiteral(u"mi"), QStringLiteral(u"my")},
        {QStringLiteral(u"mis"), QStringLiteral(u"my")},
        {QStringLiteral(u"correo"), QStringLiteral(u"email")},
        {QStringLiteral(u"mail"), QStringLiteral(u"email")},
        {QStringLiteral(u"e-mail"), QStringLiteral(u"email")},
        {QStringLiteral(u"dirección"), QStringLiteral(u"address")},
        {QStringLiteral(u"direccion"), QStringLiteral(u"address")},
        {QStringLiteral(u"teléfono"), QStringLiteral(u"phone")},
        {QStringLiteral(u"telefono"), QStringLiteral(u"phone")},
        {QStringLiteral(u"cel"), QStringLiteral(u"phone")},
        {QStringLiteral(u"número"), QStringLiteral(u"phone")},
        {QStringLiteral(u"nombre"), QStringLiteral(u"name")},
        {QStringLiteral(u"enlace"), QStringLiteral(u"link")},
        {QStringLiteral(u"liga"), QStringLiteral(u"link")},
        {QStringLiteral(u"link"), QStringLiteral(u"link")},
        {QStringLiteral(u"firma"), QStringLiteral(u"signature")},
        {QStringLiteral(u"cuenta"), QStringLiteral(u"account")},
    };
    return table;
}

QString translated(const QString& candidate) {
    const QStringList words = candidate.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList canonical;
    canonical.reserve(words.size());
    for (const QString& word : words) {
        canonical.append(synonyms().value(word, word));
    }
    return canonical.join(QLatin1Char(' '));
}

} // namespace

SnippetMatcher::SnippetMatcher(const std::vector<SnippetEntry>& snippets)
    : m_trailingPunctuation(QStringLiteral(u"[.,!?;:'\"…]+$"))
    , m_punctuation(QStringLiteral(u"[.,!?;:'\"…]+"))
    , m_whiteSpace(QStringLiteral(u"\\s+")) {
    for (const SnippetEntry& snippet : snippets) {
        const QString trigger = snippet.trigger.toLower().trimmed();
        // A trigger of white space only can never be said; matching it against an utterance that
        // normalises to nothing would paste a snippet nobody asked for.
        if (!trigger.isEmpty() && !m_bodyByTrigger.contains(trigger)) {
            m_bodyByTrigger.insert(trigger, snippet.body);
        }
    }
}

QString SnippetMatcher::normalize(const QString& utterance) const {
    QString text = utterance.toLower().trimmed();
    text = m_trailingPunctuation.replaceAll(text, IcuRegex::Replacement::literal(QString()));
    text = m_punctuation.replaceAll(text, IcuRegex::Replacement::literal(QStringLiteral(u" ")));
    return m_whiteSpace.replaceAll(text, IcuRegex::Replacement::literal(QStringLiteral(u" ")));
}

std::optional<QString> SnippetMatcher::bodyFor(const QString& candidate) const {
    const auto exact = m_bodyByTrigger.constFind(candidate);
    if (exact != m_bodyByTrigger.constEnd()) {
        return exact.value();
    }
    const auto viaSynonyms = m_bodyByTrigger.constFind(translated(candidate));
    if (viaSynonyms != m_bodyByTrigger.constEnd()) {
        return viaSynonyms.value();
    }
    return std::nullopt;
}

std::optional<QString> SnippetMatcher::match(const QString& utterance) const {
    if (isEmpty()) {
        return std::nullopt;
    }
    const QString normalized = normalize(utterance);
    // Later prefixes go to the front: "please insert my email" tries "my email" first.
    std::vector<QString> candidates{normalized};
    for (const QString& prefix : commandPrefixes()) {
        if (normalized.startsWith(prefix)) {
            candidates.insert(candidates.begin(),
                              TextCharacters::trimSpacesAndTabs(normalized.mid(prefix.size())));
        }
    }
    for (const QString& candidate : candidates) {
        if (auto body = bodyFor(candidate)) {
            return body;
        }
    }
    return std::nullopt;
}
