#include "DictionaryCorrector.h"

#include "TextCharacters.h"

namespace {

// Every ASCII character that is not a letter or digit is quoted; ICU reads a backslash before
// such a character as that character. Other characters are literal in a pattern as they are.
QString escaped(const QString& literal) {
    QString pattern;
    pattern.reserve(literal.size() * 2);
    for (const QChar character : literal) {
        const char16_t unit = character.unicode();
        if (unit < 0x80 && !character.isLetterOrNumber()) {
            pattern.append(QLatin1Char('\\'));
        }
        pattern.append(character);
    }
    return pattern;
}

} // namespace

QString DictionaryCorrector::patternFor(const QString& wrong, bool wholeWord) {
    const QString literal = escaped(wrong);
    if (!wholeWord || wrong.isEmpty()) {
        return literal;
    }
    const bool wordAtStart = TextCharacters::isWordCharacter(TextCharacters::codePointAt(wrong, 0));
    const bool wordAtEnd =
        TextCharacters::isWordCharacter(TextCharacters::codePointBefore(wrong, wrong.size()));
    return (wordAtStart ? QStringLiteral(u"\\b") : QStringLiteral(u"(?<!\\w)")) + literal +
           (wordAtEnd ? QStringLiteral(u"\\b") : QStringLiteral(u"(?!\\w)"));
}

DictionaryCorrector::DictionaryCorrector(const std::vector<DictionaryEntry>& entries) {
    m_rules.reserve(entries.size());
    for (const DictionaryEntry& entry : entries) {
        // An empty pattern matches between every two characters.
        if (entry.wrong.isEmpty()) {
            continue;
        }
        auto pattern = IcuRegex::compile(patternFor(entry.wrong, entry.wholeWord), IcuRegex::caseInsensitive);
        if (!pattern) {
            continue;
        }
        m_rules.push_back(Rule{std::move(*pattern), IcuRegex::Replacement::literal(entry.correct)});
    }
}

QString DictionaryCorrector::apply(const QString& text) const {
    QString result = text;
    for (const Rule& rule : m_rules) {
        result = rule.pattern.replaceAll(result, rule.replacement);
    }
    return result;
}
