#include "WordErrors.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace {

QStringList wordsOf(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[^a-z0-9']+"));
    return text.toLower().split(separators, Qt::SkipEmptyParts);
}

// The spoken marks, as the text pipeline knows them, one token each so "new line" is one mark.
QStringList marksOf(const QStringList& words) {
    static const QStringList pairs{QStringLiteral("question mark"),    QStringLiteral("new line"),
                                   QStringLiteral("new paragraph"),    QStringLiteral("full stop"),
                                   QStringLiteral("exclamation mark"), QStringLiteral("exclamation point"),
                                   QStringLiteral("open quote"),       QStringLiteral("close quote")};
    static const QStringList singles{QStringLiteral("comma"), QStringLiteral("period"),
                                     QStringLiteral("colon"), QStringLiteral("semicolon")};
    QStringList marks;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i + 1 < words.size() && pairs.contains(words[i] + QLatin1Char(' ') + words[i + 1])) {
            marks.append(words[i] + QLatin1Char(' ') + words[i + 1]);
            ++i;
        } else if (singles.contains(words[i])) {
            marks.append(words[i]);
        }
    }
    return marks;
}

} // namespace

WordErrors WordErrors::count(const QString& said, const QString& heard) {
    const QStringList reference = wordsOf(said);
    const QStringList hypothesis = wordsOf(heard);
    // Edit distance over words, one row at a time.
    std::vector<int> previous(std::size_t(hypothesis.size()) + 1);
    std::vector<int> current(previous.size());
    for (std::size_t j = 0; j < previous.size(); ++j) {
        previous[j] = int(j);
    }
    for (qsizetype i = 1; i <= reference.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= hypothesis.size(); ++j) {
            const int substitution =
                previous[std::size_t(j - 1)] + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1);
            current[std::size_t(j)] =
                std::min({substitution, previous[std::size_t(j)] + 1, current[std::size_t(j - 1)] + 1});
        }
        std::swap(previous, current);
    }
    WordErrors result;
    result.errors = previous.back();
    result.words = int(reference.size());
    QStringList heardMarks = marksOf(hypothesis);
    for (const QString& mark : marksOf(reference)) {
        ++result.marksSaid;
        if (heardMarks.removeOne(mark)) {
            ++result.marksHeard;
        }
    }
    return result;
}

WordErrors& WordErrors::operator+=(const WordErrors& other) {
    errors += other.errors;
    words += other.words;
    marksSaid += other.marksSaid;
    marksHeard += other.marksHeard;
    return *this;
}
