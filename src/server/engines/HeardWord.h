#pragma once

#include <string>

// A word the recogniser heard and when: frames of 10 ms from the start of the recording. Silences
// and noises are kept as words in angle or square brackets, so a listener sees the gaps too.
struct HeardWord {
    static constexpr int framesPerSecond = 100;

    std::string word;
    int firstFrame = 0;
    int lastFrame = 0; // inclusive

    bool isSpeech() const { return !word.empty() && word.front() != '<' && word.front() != '['; }
};
