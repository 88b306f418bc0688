#include "server/prompts/BacktrackGuard.h"

#include <algorithm>
#include <map>
#include <vector>

namespace BacktrackGuard {

namespace {

// Words compared without case or punctuation; bytes of non-ASCII characters count as letters.
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::string current;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || byte >= 0x80 || c == '\'') {
            current.push_back(c);
        } else if (byte >= 'A' && byte <= 'Z') {
            current.push_back(char(byte + 32));
        } else if (!current.empty()) {
            result.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) {
        result.push_back(std::move(current));
    }
    return result;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::string protect(const std::string& previousText, const std::string& newDictation,
                    const std::string& answer) {
    const std::vector<std::string> previous = words(previousText);
    if (int(previous.size()) < minimumGuardedWords) {
        return trimmed(answer);
    }
    std::map<std::string, int> available;
    for (const std::string& word : words(answer)) {
        ++available[word];
    }
    const auto kept = std::count_if(previous.begin(), previous.end(), [&](const std::string& word) {
        auto found = available.find(word);
        return found != available.end() && found->second-- > 0;
    });
    // A correction replaces a few words; losing more than half of them is not a correction.
    if (2 * kept >= std::ptrdiff_t(previous.size())) {
        return trimmed(answer);
    }
    return trimmed(previousText) + " " + trimmed(newDictation);
}

} // namespace BacktrackGuard
