#pragma once

#include <QString>

// An error as the user-facing layers see it: where it came from, a code within that domain, and a
// description that is safe to show (the overlay picks its short message from it).
struct PTTError {
    QString domain;
    int code = 0;
    QString description;
    // The HTTP status of a service answer that was not a success; 0 for every other error.
    int httpStatus = 0;

    friend bool operator==(const PTTError&, const PTTError&) = default;

    // "domain code: description", for logs and diagnostics.
    QString toString() const;
};
