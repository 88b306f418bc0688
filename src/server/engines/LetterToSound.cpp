#include "server/engines/LetterToSound.h"

#include <array>
#include <cctype>
#include <string_view>

namespace LetterToSound {

namespace {

struct Rule {
    std::string_view letters;
    std::string_view phones;
};

// Longest spellings first, so "tion" wins over "t".
constexpr std::array rules{
    Rule{"tion", "SH AH N"}, Rule{"sion", "ZH AH N"}, Rule{"igh", "AY"}, Rule{"sch", "S K"},
    Rule{"tch", "CH"},       Rule{"ch", "CH"},        Rule{"sh", "SH"},  Rule{"th", "TH"},
    Rule{"ph", "F"},         Rule{"ck", "K"},         Rule{"ng", "NG"},  Rule{"qu", "K W"},
    Rule{"wh", "W"},         Rule{"ee", "IY"},        Rule{"ea", "IY"},  Rule{"oo", "UW"},
    Rule{"ou", "AW"},        Rule{"ow", "OW"},        Rule{"ai", "EY"},  Rule{"ay", "EY"},
    Rule{"oi", "OY"},        Rule{"oy", "OY"},        Rule{"au", "AO"},  Rule{"aw", "AO"},
    Rule{"er", "ER"},        Rule{"ir", "ER"},        Rule{"ur", "ER"},  Rule{"ar", "AA R"},
    Rule{"or", "AO R"},      Rule{"ie", "IY"},        Rule{"ei", "IY"},  Rule{"ey", "IY"},
    Rule{"a", "AE"},         Rule{"b", "B"},          Rule{"d", "D"},    Rule{"e", "EH"},
    Rule{"f", "F"},          Rule{"h", "HH"},         Rule{"i", "IH"},   Rule{"j", "JH"},
    Rule{"k", "K"},          Rule{"l", "L"},          Rule{"m", "M"},    Rule{"n", "N"},
    Rule{"o", "AA"},         Rule{"p", "P"},          Rule{"q", "K"},    Rule{"r", "R"},
    Rule{"s", "S"},          Rule{"t", "T"},          Rule{"u", "AH"},   Rule{"v", "V"},
    Rule{"w", "W"},          Rule{"x", "K S"},        Rule{"z", "Z"},
};

constexpr std::array<std::string_view, 26> letterNames{"EY",
                                                       "B IY",
                                                       "S IY",
                                                       "D IY",
                                                       "IY",
                                                       "EH F",
                                                       "JH IY",
                                                       "EY CH",
                                                       "AY",
                                                       "JH EY",
                                                       "K EY",
                                                       "EH L",
                                                       "EH M",
                                                       "EH N",
                                                       "OW",
                                                       "P IY",
                                                       "K Y UW",
                                                       "AA R",
                                                       "EH S",
                                                       "T IY",
                                                       "Y UW",
                                                       "V IY",
                                                       "D AH B AH L Y UW",
                                                       "EH K S",
                                                       "W AY",
                                                       "Z IY"};

bool isVowel(char letter) {
    return std::string_view("aeiouy").find(letter) != std::string_view::npos;
}

void append(std::string& out, std::string_view phones) {
    if (!out.empty()) {
        out.push_back(' ');
    }
    out += phones;
}

} // namespace

std::string phones(const std::string& word) {
    std::string letters;
    bool allCapitals = true;
    for (const char c : word) {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            allCapitals = allCapitals && std::isupper(static_cast<unsigned char>(c));
            letters.push_back(char(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    std::string out;
    if (allCapitals && letters.size() >= 2 && letters.size() <= 5) {
        for (const char letter : letters) {
            append(out, letterNames[std::size_t(letter - 'a')]);
        }
        return out;
    }
    for (std::size_t i = 0; i < letters.size();) {
        const char letter = letters[i];
        const bool last = i + 1 == letters.size();
        const char next = last ? '\0' : letters[i + 1];
        if (letter == 'e' && last && i > 0) {
            break; // a final e is silent
        }
        if (letter == 'o' && last) {
            append(out, "OW"); // hello, piano, and most made-up names
            break;
        }
        if (i > 0 && letter == letters[i - 1] && !isVowel(letter)) {
            ++i; // a doubled consonant is one sound
            continue;
        }
        if (letter == 'c' || letter == 'g') {
            const bool soft = next == 'e' || next == 'i' || next == 'y';
            append(out, letter == 'c' ? (soft ? "S" : "K") : (soft ? "JH" : "G"));
            ++i;
            continue;
        }
        if (letter == 'y') {
            append(out, i == 0 ? "Y" : (last ? "IY" : "IH"));
            ++i;
            continue;
        }
        for (const Rule& rule : rules) {
            if (std::string_view(letters).substr(i).starts_with(rule.letters)) {
                append(out, rule.phones);
                i += rule.letters.size();
                break;
            }
        }
    }
    return out;
}

} // namespace LetterToSound
