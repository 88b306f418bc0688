#pragma once

#include <string>
#include <vector>

// The words a user told the recogniser to expect ("Help the recognizer"), as the decoder's
// vocabulary spells them (lower case) and as the user wrote them, which is how they appear in the
// transcript. Punctuation, digits-only tokens and repeats are dropped; the count is capped so a
// long prompt cannot make a request slow.
struct ExpectedWord {
    std::string spoken;
    std::string written;
};

namespace ExpectedWords {

constexpr std::size_t maxWords = 64;

std::vector<ExpectedWord> fromPrompt(const std::string& prompt);

} // namespace ExpectedWords
