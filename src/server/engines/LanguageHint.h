#pragma once

#include <string>
#include <string_view>

// The "x-ptt-language-hint" header as the user typed it in the app ("", "auto", "en", "en-US",
// "Spanish", "español", ...), read as a language code when it can be.
class LanguageHint final {
public:
    static LanguageHint parse(std::string_view text);

    bool isAutomatic() const { return m_text.empty(); }
    // Whether the offline recogniser, which knows English only, can serve this hint.
    bool suitsEnglishOnly() const { return isAutomatic() || m_code == "en"; }
    // The ISO 639-1 code, or "" when the hint is automatic or unrecognised.
    const std::string& code() const { return m_code; }
    // The hint as sent, trimmed.
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
    std::string m_code;
};
