#pragma once

#include <QString>

#include <array>

// Punctuation said as words, in English and Spanish, and the symbol that replaces each phrase.
namespace SpokenPunctuation {

struct Rule {
    // An ICU pattern, matched case-insensitively.
    QString pattern;
    QString symbol;
};

// In the order they are applied: "punto y coma" and "punto y aparte" come before the bare "punto".
const std::array<Rule, 13>& rules();

} // namespace SpokenPunctuation
