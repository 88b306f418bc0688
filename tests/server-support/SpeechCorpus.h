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

// Who speaks the synthetic sets: espeak-ng's formant voices, unlike any microphone's, or flite's
// voices, made from recordings of people.
enum class Synthesiser { espeak, flite };

// Real read speech: the LibriVox clips of Debian's pocketsphinx-testdata. Empty when not installed.
std::vector<SpokenSample> librivox(int limit = 1000);

// Dictations with spoken punctuation, spoken by several voices at two speeds. `heldOut` picks
// sentences that the dictation model's text does not contain.
std::vector<SpokenSample> spokenPunctuation(Synthesiser synthesiser, bool heldOut, int limit = 1000);

// A 16 kHz clip of `text` as one voice says it; empty if the synthesiser or sox failed.
AudioClip say(const QString& text, const QString& voice, int wordsPerMinute,
              Synthesiser synthesiser = Synthesiser::espeak);

} // namespace SpeechCorpus
