#pragma once

#include <QUrl>

// The outcome of appending a note: the journal file and how many notes it now holds.
struct NoteSaveResult {
    QUrl url;
    int totalNotes = 0;

    friend bool operator==(const NoteSaveResult&, const NoteSaveResult&) = default;
};
