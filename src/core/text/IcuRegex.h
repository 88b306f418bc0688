#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <unicode/uversion.h>
#include <vector>

U_NAMESPACE_BEGIN
class RegexMatcher;
U_NAMESPACE_END

// One ICU regular expression, compiled once, with a matcher that is reused for every text. ICU's
// `\b`, `\w` and case-insensitive matching are Unicode-aware. Not for concurrent use: the matcher
// keeps the state of the current search.
class IcuRegex final {
public:
    enum Flag : unsigned { none = 0, caseInsensitive = 1 };

    // What a match is replaced with: literal text and capture-group references ("$1").
    class Replacement final {
    public:
        // A template in which "$" followed by one digit stands for that group; nothing else is special.
        static Replacement fromTemplate(const QString& pattern);
        // The text as it is, dollar signs and backslashes included.
        static Replacement literal(const QString& text);

    private:
        friend class IcuRegex;
        struct Part {
            QString text;
            int group = -1; // -1: the part is `text`
        };
        std::vector<Part> m_parts;
    };

    // Absent when the pattern does not compile.
    static std::optional<IcuRegex> compile(const QString& pattern, unsigned flags = none);

    // For the fixed patterns of the code: one that does not compile is a programming error, caught
    // by an assertion in debug builds, and matches nothing in release builds.
    explicit IcuRegex(const QString& pattern, unsigned flags = none);

    IcuRegex(IcuRegex&&) noexcept;
    IcuRegex& operator=(IcuRegex&&) noexcept;
    ~IcuRegex();

    // Every non-overlapping match, left to right, replaced. Answers `text` itself when nothing
    // matches, so the common case copies nothing.
    QString replaceAll(const QString& text, const Replacement& replacement) const;

private:
    IcuRegex() = default;

    std::unique_ptr<icu::RegexMatcher> m_matcher;
};
