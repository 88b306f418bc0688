#pragma once

#include <QString>

// A personal correction: what the recogniser writes, and what it should be.
struct DictionaryEntry {
    qint64 id = 0;
    QString wrong;
    QString correct;
    bool wholeWord = true;

    friend bool operator==(const DictionaryEntry&, const DictionaryEntry&) = default;
};
