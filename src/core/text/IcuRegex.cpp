#include "core/text/IcuRegex.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace {

// The matcher keeps a reference to the text it searched; it is pointed back at this constant
// after each use so that it never holds on to a caller's buffer.
const icu::UnicodeString& emptyText() {
    static const icu::UnicodeString empty;
    return empty;
}

icu::UnicodeString aliasOf(const QString& text) {
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

std::unique_ptr<icu::RegexMatcher> makeMatcher(const QString& pattern, unsigned flags) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString source(reinterpret_cast<const UChar*>(pattern.utf16()),
                                    static_cast<int32_t>(pattern.size()));
    const uint32_t icuFlags = (flags & IcuRegex::caseInsensitive) ? UREGEX_CASE_INSENSITIVE : 0;
    auto matcher = std::make_unique<icu::RegexMatcher>(source, icuFlags, status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    return matcher;
}

} // namespace

IcuRegex::Replacement IcuRegex::Replacement::fromTemplate(const QString& pattern) {
    Replacement replacement;
    QString literal;
    for (qsizetype index = 0; index < pattern.size(); ++index) {
        const QChar character = pattern.at(index);
        if (character == QLatin1Char('$') && index + 1 < pattern.size() && pattern.at(index + 1).isDigit()) {
            if (!literal.isEmpty()) {
                replacement.m_parts.push_back(Part{literal, -1});
                literal.clear();
            }
            replacement.m_parts.push_back(Part{QString(), pattern.at(index + 1).digitValue()});
            ++index;
        } else {
            literal.append(character);
        }
    }
    if (!literal.isEmpty()) {
        replacement.m_parts.push_back(Part{literal, -1});
    }
    return replacement;
}

IcuRegex::Replacement IcuRegex::Replacement::literal(const QString& text) {
    Replacement replacement;
    replacement.m_parts.push_back(Part{text, -1});
    return replacement;
}

std::optional<IcuRegex> IcuRegex::compile(const QString& pattern, unsigned flags) {
    IcuRegex regex;
    regex.m_matcher = makeMatcher(pattern, flags);
    if (!regex.m_matcher) {
        return std::nullopt;
    }
    return regex;
}

IcuRegex::IcuRegex(const QString& pattern, unsigned flags)
    : m_matcher(makeMatcher(pattern, flags)) {
    Q_ASSERT_X(m_matcher, "IcuRegex", qPrintable(pattern));
}

IcuRegex::IcuRegex(IcuRegex&&) noexcept = default;
IcuRegex& IcuRegex::operator=(IcuRegex&&) noexcept = default;
IcuRegex::~IcuRegex() = default;

QString IcuRegex::replaceAll(const QString& text, const Replacement& replacement) const {
    if (!m_matcher || text.isEmpty()) {
        return text;
    }
    const icu::UnicodeString input = aliasOf(text);
    m_matcher->reset(input);
    UErrorCode status = U_ZERO_ERROR;
    if (!m_matcher->find(status) || U_FAILURE(status)) {
        m_matcher->reset(emptyText());
        return text;
    }
    const QStringView view(text);
    QString result;
    result.reserve(text.size() + 16);
    int32_t copiedUpTo = 0;
    do {
        const int32_t start = m_matcher->start(status);
        const int32_t end = m_matcher->end(status);
        if (U_FAILURE(status)) {
            break;
        }
        result.append(view.mid(copiedUpTo, start - copiedUpTo));
        for (const Replacement::Part& part : replacement.m_parts) {
            if (part.group < 0) {
                result.append(part.text);
                continue;
            }
            if (part.group > m_matcher->groupCount()) {
                continue;
            }
            UErrorCode groupStatus = U_ZERO_ERROR;
            const int32_t groupStart = m_matcher->start(part.group, groupStatus);
            const int32_t groupEnd = m_matcher->end(part.group, groupStatus);
            // A group that took no part in the match stands for nothing.
            if (U_SUCCESS(groupStatus) && groupStart >= 0) {
                result.append(view.mid(groupStart, groupEnd - groupStart));
            }
        }
        copiedUpTo = end;
    } while (m_matcher->find(status) && U_SUCCESS(status));
    result.append(view.mid(copiedUpTo));
    m_matcher->reset(emptyText());
    return result;
}
