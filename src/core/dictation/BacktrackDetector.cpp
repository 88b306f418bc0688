#include "core/dictation/BacktrackDetector.h"

const QString BacktrackDetector::pattern = QStringLiteral(
    "^(?:or no|no(?:,| )|actually|wait|i mean|rather|en realidad|mejor|no mejor|o mejor|bueno no|"
    "más bien|perd[oó]n|correcci[oó]n|quise decir)[,.]?\\s");

namespace {

icu::UnicodeString unicode(const QString& text) {
    return icu::UnicodeString(reinterpret_cast<const UChar*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

} // namespace

BacktrackDetector::BacktrackDetector() {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    m_pattern.reset(
        icu::RegexPattern::compile(unicode(pattern), UREGEX_CASE_INSENSITIVE, parseError, status));
    if (U_FAILURE(status)) {
        m_pattern.reset();
    }
}

BacktrackDetector::~BacktrackDetector() = default;

bool BacktrackDetector::startsWithCorrection(const QString& text) const {
    if (!m_pattern) {
        return false;
    }
    const icu::UnicodeString input = unicode(text);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::RegexMatcher> matcher(m_pattern->matcher(input, status));
    if (U_FAILURE(status)) {
        return false;
    }
    const bool found = matcher->find(status);
    return U_SUCCESS(status) && found;
}
