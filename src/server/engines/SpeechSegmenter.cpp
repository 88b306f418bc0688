#include "server/engines/SpeechSegmenter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double frameSeconds = 0.01;

std::vector<double> frameLevels(std::span<const std::int16_t> samples, std::size_t frameLength) {
    std::vector<double> levels;
    levels.reserve(samples.size() / frameLength + 1);
    for (std::size_t start = 0; start < samples.size(); start += frameLength) {
        const std::size_t end = std::min(samples.size(), start + frameLength);
        double energy = 0;
        for (std::size_t i = start; i < end; ++i) {
            energy += double(samples[i]) * double(samples[i]);
        }
        levels.push_back(10.0 * std::log10(energy / double(end - start) + 1.0));
    }
    return levels;
}

double percentile(std::vector<double> values, double fraction) {
    const auto at = values.begin() + std::ptrdiff_t(fraction * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// The middle of the quietest stretch of `frames` frames within [from, to): a gap between words
// or a consonant's closure rather than a vowel, most likely.
std::size_t quietestFrame(const std::vector<double>& levels, std::size_t from, std::size_t to,
                          std::size_t frames) {
    to = std::min(to, levels.size());
    std::size_t best = (from + to) / 2;
    double bestSum = std::numeric_limits<double>::infinity();
    for (std::size_t frame = from; frame + frames <= to; ++frame) {
        double sum = 0;
        for (std::size_t i = frame; i < frame + frames; ++i) {
            sum += levels[i];
        }
        if (sum < bestSum) {
            bestSum = sum;
            best = frame + frames / 2;
        }
    }
    return best;
}

} // namespace

std::vector<SpeechSegmenter::Piece> SpeechSegmenter::split(std::span<const std::int16_t> samples, int workers,
                                                           const Options& options) {
    const auto frameLength = std::size_t(std::max(1.0, options.sampleRate * frameSeconds));
    const double total = double(samples.size()) / options.sampleRate;
    if (samples.empty() || total < 2 * options.minPieceSeconds) {
        return {Piece{0, samples.size()}};
    }
    const std::vector<double> levels = frameLevels(samples, frameLength);
    // Low enough that the short gaps of continuous speech still show the floor.
    const double floor = percentile(levels, 0.03);
    const double speech = percentile(levels, 0.9);
    // A quiet room and a noisy one differ in floor; speech stands at least this far above it.
    const double threshold = floor + std::max(6.0, 0.35 * (speech - floor));
    if (speech - floor < 10.0) {
        return {Piece{0, samples.size()}}; // no clear pauses to cut at
    }

    const double target = std::clamp(total / double(2 * std::max(1, workers)), options.minPieceSeconds,
                                     options.maxPieceSeconds);
    const auto minPauseFrames = std::size_t(options.minPauseSeconds / frameSeconds);
    std::vector<Piece> pieces;
    std::size_t pieceStart = 0;
    std::size_t pauseStart = 0;
    bool inPause = false;
    const auto seconds = [&](std::size_t sample) { return double(sample) / options.sampleRate; };
    for (std::size_t frame = 0; frame <= levels.size(); ++frame) {
        const bool silent = frame < levels.size() && levels[frame] < threshold;
        if (silent && !inPause) {
            pauseStart = frame;
            inPause = true;
        } else if (!silent && inPause) {
            inPause = false;
            if (frame - pauseStart < minPauseFrames || frame == levels.size()) {
                continue;
            }
            const std::size_t cut = std::min(samples.size(), (pauseStart + frame) / 2 * frameLength);
            if (seconds(cut - pieceStart) >= target &&
                seconds(samples.size() - cut) >= options.minPieceSeconds / 2) {
                pieces.push_back(Piece{pieceStart, cut});
                pieceStart = cut;
            }
        }
    }
    pieces.push_back(Piece{pieceStart, samples.size()});

    // Continuous speech has no pause to cut at and would wait on one decoder: give every decoder
    // a share by cutting the longest piece at its quietest moment near the middle. Such a cut may
    // fall inside a word, so the pieces' decoders overlap there and their words are joined by time.
    const auto dipFrames = std::size_t(std::max(1.0, options.dipSeconds / frameSeconds));
    while (int(pieces.size()) < workers) {
        const auto longest =
            std::max_element(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
                return a.end - a.begin < b.end - b.begin;
            });
        if (seconds(longest->end - longest->begin) < 2 * options.minPieceSeconds) {
            break;
        }
        // Within the middle fifth, so that neither decoder waits long for the other.
        const std::size_t fifth = (longest->end - longest->begin) / frameLength / 5;
        const std::size_t from = longest->begin / frameLength + 2 * fifth;
        const std::size_t cut = quietestFrame(levels, from, from + fifth, dipFrames) * frameLength;
        const std::size_t end = longest->end;
        longest->end = cut;
        pieces.insert(longest + 1, Piece{cut, end, /*cutInSpeech=*/true});
    }
    return pieces;
}
