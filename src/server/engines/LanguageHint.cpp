#include "server/engines/LanguageHint.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Names people type for the languages the upstream recognisers know best, lower case.
constexpr std::array<std::pair<std::string_view, std::string_view>, 22> languageNames{{
    {"english", "en"},    {"inglés", "en"},  {"spanish", "es"},    {"español", "es"},    {"espanol", "es"},
    {"castellano", "es"}, {"french", "fr"},  {"français", "fr"},   {"francais", "fr"},   {"german", "de"},
    {"deutsch", "de"},    {"italian", "it"}, {"italiano", "it"},   {"portuguese", "pt"}, {"português", "pt"},
    {"portugues", "pt"},  {"dutch", "nl"},   {"nederlands", "nl"}, {"catalan", "ca"},    {"català", "ca"},
    {"japanese", "ja"},   {"chinese", "zh"},
}};

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z');
}

} // namespace

LanguageHint LanguageHint::parse(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    LanguageHint hint;
    if (first == std::string_view::npos) {
        return hint;
    }
    std::string lowered(text.substr(first, last - first + 1));
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    if (lowered == "auto" || lowered == "auto-detect" || lowered == "autodetect") {
        return hint;
    }
    hint.m_text = std::string(text.substr(first, last - first + 1));

    const std::string primary = lowered.substr(0, lowered.find_first_of("-_"));
    if (primary.size() == 2 && std::all_of(primary.begin(), primary.end(), isAsciiLetter)) {
        hint.m_code = primary;
        return hint;
    }
    for (const auto& [name, code] : languageNames) {
        if (lowered == name) {
            hint.m_code = std::string(code);
            break;
        }
    }
    return hint;
}
