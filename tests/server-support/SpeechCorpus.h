#pragma once

#include "server/wav/AudioClip.h"

#include <QString>

#include <vector>

// Recordings with what was said in them, for measuring the offline recogniser.
struct SpokenSample {
    QString name;
    QString said;
    AudioClip clip;
};

namespace SpeechCorpus {

// Real read speech: the LibriVox clips of Debian's pocketsphinx-testdata. Empty when not installed.
std::vector<SpokenSample> librivox(int limit = 1000);

// Dictations with spoken punctuation, spoken by several espeak-ng voices at two speeds. `heldOut`
// picks sentences that the dictation model's text does not contain.
std::vector<SpokenSample> spokenPunctuation(bool heldOut, int limit = 1000);

// A 16 kHz clip of `text` as one espeak-ng voice says it; empty if espeak-ng or sox failed.
AudioClip say(const QString& text, const QString& voice, int wordsPerMinute);

} // namespace SpeechCorpus
