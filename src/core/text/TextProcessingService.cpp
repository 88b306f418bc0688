#include "core/text/TextProcessingService.h"

#include "core/context/IAppContextService.h"
#include "core/storage/LocalDatabase.h"
#include "core/text/SpokenPunctuation.h"
#include "core/text/TextCharacters.h"

namespace {

using Replacement = IcuRegex::Replacement;

bool isSentenceMark(QChar character) {
    return character == QLatin1Char('.') || character == QLatin1Char('!') || character == QLatin1Char('?');
}

bool isLineFeed(QChar character) {
    return character == QLatin1Char('\n');
}

bool isSpace(QChar character) {
    return character == QLatin1Char(' ');
}

// A mark glued to the next letter or digit is part of a token the recogniser wrote ("3.50",
// "example.com", "notes.txt"), not the end of a sentence.
bool continuesToken(const QString& text, qsizetype afterMark) {
    return afterMark < text.size() &&
           TextCharacters::isWordCharacter(TextCharacters::codePointAt(text, afterMark));
}

QString removeSpacesAfterOpeningQuotes(const QString& text) {
    // Spoken quotes produce the same character for opening and closing, so they pair up in
    // order: the space after a closing quote separates it from the next word. An apostrophe
    // right after a word is a possessive or a contraction ("the students' books"), not an
    // opening quote.
    if (!text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\''))) {
        return text;
    }
    QString result;
    result.reserve(text.size());
    bool insideQuote = false;
    qsizetype index = 0;
    while (index < text.size()) {
        const QChar character = text.at(index);
        result.append(character);
        ++index;
        bool opening = false;
        if (character == QLatin1Char('"')) {
            insideQuote = !insideQuote;
            opening = insideQuote;
        } else if (character == QLatin1Char('\'')) {
            const qsizetype before = index - 1;
            opening = before == 0 ||
                      !TextCharacters::isWordCharacter(TextCharacters::codePointBefore(text, before));
        }
        if (opening) {
            while (index < text.size() && isSpace(text.at(index))) {
                ++index;
            }
        }
    }
    return result;
}

} // namespace

TextProcessingService::TextProcessingService(const LocalDatabase& database,
                                             const IAppContextService& appContext)
    : m_database(database)
    , m_appContext(appContext)
    , m_spaceBeforeClosingMark{IcuRegex(QStringLiteral(u" +([.,;:!?…)\"\\]\\}])")),
                               Replacement::fromTemplate(QStringLiteral(u"$1"))}
    , m_spaceAfterOpeningBracket{IcuRegex(QStringLiteral(u"([(\\[\\{]) +")),
                                 Replacement::fromTemplate(QStringLiteral(u"$1"))}
    , m_repeatedSpaces{IcuRegex(QStringLiteral(u" {2,}")), Replacement::literal(QStringLiteral(u" "))}
    // A line break the speaker asked for stays, without the spaces the spoken command left
    // around it; elsewhere a sentence end is followed by exactly one space.
    , m_spaceAroundLineBreak{IcuRegex(QStringLiteral(u"(?:(?!\\n)\\s)*\\n(?:(?!\\n)\\s)*")),
                             Replacement::literal(QStringLiteral(u"\n"))}
    , m_spaceAfterSentenceEnd{IcuRegex(QStringLiteral(u"([.!?])(?:(?!\\n)\\s)+(\\w)")),
                              Replacement::fromTemplate(QStringLiteral(u"$1 $2"))}
    , m_repeatedSentenceMark{IcuRegex(QStringLiteral(u"([.!?])\\1+")),
                             Replacement::fromTemplate(QStringLiteral(u"$1"))} {
    for (const SpokenPunctuation::Rule& rule : SpokenPunctuation::rules()) {
        m_punctuationRules.push_back(FixedPattern{IcuRegex(rule.pattern, IcuRegex::caseInsensitive),
                                                  Replacement::literal(rule.symbol)});
    }
    const Replacement space = Replacement::literal(QStringLiteral(u" "));
    const Replacement nothing = Replacement::literal(QString());
    // Case-sensitive on purpose: a capitalised "Um" at the start is more likely a word the
    // speaker meant than a hesitation.
    m_fillerRules.push_back(
        FixedPattern{IcuRegex(QStringLiteral(u"\\b(?:eh|ehm|em|mmm?|ajá)\\b[,.]?\\s*")), space});
    m_fillerRules.push_back(
        FixedPattern{IcuRegex(QStringLiteral(u"\\b(?:uh|uhm|um|umm|hmm?)\\b[,.]?\\s*")), space});
    m_fillerRules.push_back(FixedPattern{IcuRegex(QStringLiteral(u"\\s{2,}")), space});
    m_fillerRules.push_back(FixedPattern{IcuRegex(QStringLiteral(u"^\\s*,\\s*")), nothing});
    m_fillerRules.push_back(FixedPattern{IcuRegex(QStringLiteral(u"\\s*,\\s*$")), nothing});
}

TextProcessingService::Source TextProcessingService::currentSource() const {
    return Source{m_database.personalizationRevision(), m_database.isOpen()};
}

const SnippetMatcher& TextProcessingService::snippets() {
    const Source source = currentSource();
    if (!m_snippets || m_snippetsSource != source) {
        m_snippets.emplace(m_database.fetchSnippets());
        m_snippetsSource = source;
    }
    return *m_snippets;
}

const DictionaryCorrector& TextProcessingService::dictionary() {
    const Source source = currentSource();
    if (!m_dictionary || m_dictionarySource != source) {
        m_dictionary.emplace(m_database.fetchDictionaryEntries());
        m_dictionarySource = source;
    }
    return *m_dictionary;
}

std::optional<QString> TextProcessingService::matchSnippet(const QString& text) {
    return snippets().match(text);
}

QString TextProcessingService::applyDictionary(const QString& text) {
    return dictionary().apply(text);
}

QString TextProcessingService::removeFillers(const QString& text) const {
    QString result = text;
    for (const FixedPattern& rule : m_fillerRules) {
        result = rule.regex.replaceAll(result, rule.replacement);
    }
    return TextCharacters::upperCaseFirst(result.trimmed());
}

QString TextProcessingService::applyPunctuationCommands(const QString& text) const {
    QString result = text;
    for (const FixedPattern& rule : m_punctuationRules) {
        result = rule.regex.replaceAll(result, rule.replacement);
    }
    result = m_spaceBeforeClosingMark.regex.replaceAll(result, m_spaceBeforeClosingMark.replacement);
    result = m_spaceAfterOpeningBracket.regex.replaceAll(result, m_spaceAfterOpeningBracket.replacement);
    result = removeSpacesAfterOpeningQuotes(result);
    result = m_repeatedSpaces.regex.replaceAll(result, m_repeatedSpaces.replacement);
    result = m_spaceAroundLineBreak.regex.replaceAll(result, m_spaceAroundLineBreak.replacement);
    result = m_spaceAfterSentenceEnd.regex.replaceAll(result, m_spaceAfterSentenceEnd.replacement);
    return capitalizeSentenceStarts(result.trimmed());
}

QString TextProcessingService::capitalizeSentenceStarts(const QString& text) const {
    QString result;
    result.reserve(text.size());
    bool capitalizeNext = true;
    qsizetype index = 0;
    while (index < text.size()) {
        qsizetype length = 0;
        const char32_t codePoint = TextCharacters::codePointAt(text, index, &length);
        const QStringView character = QStringView(text).mid(index, length);
        if (capitalizeNext && QChar::isLetter(codePoint)) {
            result.append(character.toString().toUpper());
            capitalizeNext = false;
        } else {
            result.append(character);
        }
        index += length;
        const QChar unit = text.at(index - 1);
        if (isLineFeed(unit) || (isSentenceMark(unit) && !continuesToken(text, index))) {
            capitalizeNext = true;
        }
    }
    return m_repeatedSentenceMark.regex.replaceAll(result, m_repeatedSentenceMark.replacement);
}

QString TextProcessingService::process(const QString& transcript, const std::optional<QString>& appName) {
    const QString text = transcript.trimmed();
    if (auto body = matchSnippet(text)) {
        return *body;
    }
    const QString cleaned = applyPunctuationCommands(removeFillers(applyDictionary(text)));
    return m_appContext.applyContextFormatting(cleaned, appName);
}
