#pragma once

#include <QString>

// Character-level helpers shared by the text pipeline and the per-application formatting. They
// work on code points, so a letter outside the Basic Multilingual Plane is one character, and a
// combining mark stays with the letter before it.
namespace TextCharacters {

// The characters ICU's `\w` matches: letters, marks, decimal digits, connector punctuation and
// the zero-width (non-)joiner.
bool isWordCharacter(char32_t codePoint);

// The code point starting at `index` (a lone surrogate answers itself) and its length in UTF-16 units.
char32_t codePointAt(const QString& text, qsizetype index, qsizetype* length = nullptr);

// The code point that ends just before `index` (> 0).
char32_t codePointBefore(const QString& text, qsizetype index);

// The first character upper-cased with the full case mapping ("ß" becomes "SS"); the rest as it is.
QString upperCaseFirst(const QString& text);

// Without spaces (the space separators) and tabs at either end; line breaks stay.
QString trimSpacesAndTabs(const QString& text);

} // namespace TextCharacters
