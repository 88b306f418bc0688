#pragma once

#include <QString>

// A voice snippet: saying the trigger pastes the body.
struct SnippetEntry {
    qint64 id = 0;
    QString trigger;
    QString body;

    friend bool operator==(const SnippetEntry&, const SnippetEntry&) = default;
};
