#include "core/text/DictionaryCorrector.h"

#include "core/text/TextCharacters.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

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

// Full case folding, as the case-insensitive matching of ICU's regular expressions applies it.
QString caseFolded(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    // Folding can lengthen a text ("ß" becomes "ss"), at most threefold.
    QString folded(text.size() * 3, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        u_strFoldCase(reinterpret_cast<UChar*>(folded.data()), static_cast<int32_t>(folded.size()),
                      reinterpret_cast<const UChar*>(text.utf16()), static_cast<int32_t>(text.size()),
                      U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        return text.toCaseFolded();
    }
    folded.truncate(length);
    return folded;
}

} // namespace

QString DictionaryCorrector::patternFor(const QString& wrong, bool wholeWord) {
    QString literal = escaped(wrong);
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
        m_rules.push_back(Rule{std::move(*pattern), IcuRegex::Replacement::literal(entry.correct),
                               caseFolded(entry.wrong)});
    }
}

QString DictionaryCorrector::apply(const QString& text) const {
    QString result = text;
    QString folded = caseFolded(result);
    for (const Rule& rule : m_rules) {
        if (!folded.contains(rule.foldedWrong)) {
            continue;
        }
        QString replaced = rule.pattern.replaceAll(result, rule.replacement);
        if (replaced != result) {
            result = std::move(replaced);
            folded = caseFolded(result);
        }
    }
    return result;
}
