#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Splits a recording into pieces that can be decoded independently, cutting in the middle of pauses
// (energy-based: a run of frames well below the recording's speech level) or, in speech without
// pauses, at its quietest moments. The pieces cover the recording exactly, in order; the words of a
// piece cut in speech are joined to its neighbour's by time (OverlapJoiner), so none is lost or
// doubled at a cut.
class SpeechSegmenter final {
public:
    struct Piece {
        std::size_t begin = 0; // sample index
        std::size_t end = 0;   // one past the last sample
        // Cut at a quiet moment in speech rather than in a pause: the word there may be split.
        bool cutInSpeech = false;
    };

    struct Options {
        int sampleRate = 16000;
        // Shorter pieces spread better over the decoders but lose the language model's context at
        // each cut; a pause this long is where a speaker starts a new phrase anyway.
        double minPauseSeconds = 0.25;
        // Where no pause is long enough: the stretch whose quietest instance is cut at.
        double dipSeconds = 0.03;
        double minPieceSeconds = 2.0;
        double maxPieceSeconds = 8.0;
    };

    // `workers` is how many decoders can share the work: pieces aim at twice that many so a
    // long piece does not leave a decoder idle at the end.
    static std::vector<Piece> split(std::span<const std::int16_t> samples, int workers,
                                    const Options& options);
    static std::vector<Piece> split(std::span<const std::int16_t> samples, int workers) {
        return split(samples, workers, Options{});
    }
};
