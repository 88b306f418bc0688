#include "server/engines/ExpectedWords.h"

#include <algorithm>
#include <cctype>

namespace ExpectedWords {

std::vector<ExpectedWord> fromPrompt(const std::string& prompt) {
    std::vector<ExpectedWord> words;
    std::size_t i = 0;
    while (i < prompt.size() && words.size() < maxWords) {
        const auto isWordChar = [&](std::size_t at) {
            const auto c = static_cast<unsigned char>(prompt[at]);
            return std::isalnum(c) || c >= 0x80 ||
                   (c == '\'' && at > 0 && std::isalpha(static_cast<unsigned char>(prompt[at - 1])));
        };
        if (!isWordChar(i)) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < prompt.size() && isWordChar(i)) {
            ++i;
        }
        std::string written = prompt.substr(start, i - start);
        while (!written.empty() && written.back() == '\'') {
            written.pop_back();
        }
        // The dictionary is ASCII, so a word with other letters has no pronunciation to give; a
        // word of digits only is said as numbers the recogniser knows.
        const auto has = [&](auto predicate) {
            return std::any_of(written.begin(), written.end(), predicate);
        };
        if (written.size() < 2 || has([](unsigned char c) { return c >= 0x80; }) ||
            !has([](unsigned char c) { return std::isalpha(c); })) {
            continue;
        }
        std::string spoken = written;
        std::transform(spoken.begin(), spoken.end(), spoken.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        const bool seen = std::any_of(words.begin(), words.end(),
                                      [&](const ExpectedWord& w) { return w.spoken == spoken; });
        if (!seen) {
            words.push_back(ExpectedWord{std::move(spoken), std::move(written)});
        }
    }
    return words;
}

} // namespace ExpectedWords
