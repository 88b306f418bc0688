#pragma once

#include <QString>
#include <QStringList>

// How far a transcript is from what was said: word errors (substitutions, insertions and deletions
// of the best alignment) and, of the spoken punctuation and line commands said, how many were heard.
struct WordErrors {
    int errors = 0;
    int words = 0;
    int marksSaid = 0;
    int marksHeard = 0;

    static WordErrors count(const QString& said, const QString& heard);

    WordErrors& operator+=(const WordErrors& other);
    double errorRate() const { return words ? double(errors) / words : 0.0; }
    double markRecall() const { return marksSaid ? double(marksHeard) / marksSaid : 1.0; }
};
