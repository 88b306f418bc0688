#pragma once

#include "core/model/DictionaryEntry.h"
#include "core/text/IcuRegex.h"

#include <QString>

#include <vector>

// The user's corrections, compiled once: each entry replaces its `wrong` text (matched literally,
// ignoring case) with its `correct` text, entry after entry, each on the result of the one before.
class DictionaryCorrector final {
public:
    explicit DictionaryCorrector(const std::vector<DictionaryEntry>& entries);

    QString apply(const QString& text) const;

    // The pattern an entry is searched with. A whole word may not continue a word on either side:
    // next to a letter or digit of the entry that is `\b`; next to punctuation of the entry ("c++",
    // ".net") it means no word character there, since `\b` would require one.
    static QString patternFor(const QString& wrong, bool wholeWord);

private:
    struct Rule {
        IcuRegex pattern;
        IcuRegex::Replacement replacement;
        // The `wrong` text case-folded: a text whose folded form does not contain it cannot
        // match, which spares the regular expression for most entries on most texts.
        QString foldedWrong;
    };
    std::vector<Rule> m_rules;
};
