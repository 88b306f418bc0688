#pragma once

#include <QString>

#include <memory>
#include <unicode/regex.h>

// Recognises a dictation that begins with a spoken correction of the previous one ("actually,
// ...", "no mejor ..."), in English and Spanish.
class BacktrackDetector final {
public:
    static const QString pattern;
    static constexpr double windowSeconds = 60.0;

    BacktrackDetector();
    ~BacktrackDetector();
    BacktrackDetector(const BacktrackDetector&) = delete;
    BacktrackDetector& operator=(const BacktrackDetector&) = delete;

    // The phrase must open the text, optionally followed by a comma or full stop, then white
    // space; letter case does not matter.
    bool startsWithCorrection(const QString& text) const;

    // Exactly the window still counts.
    static bool isWithinWindow(double pastedAt, double now) { return now - pastedAt <= windowSeconds; }

private:
    std::unique_ptr<icu::RegexPattern> m_pattern;
};
