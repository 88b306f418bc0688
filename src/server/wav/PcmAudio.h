#pragma once

#include "server/wav/SampleFormat.h"

#include <cstddef>
#include <string_view>

// The samples of a parsed WAV file, still in the file's own format. `data` points into the bytes
// that were parsed and is only valid while they live.
struct PcmAudio {
    int sampleRate = 0;
    int channels = 0;
    SampleFormat format = SampleFormat::signed16;
    std::string_view data; // whole frames only, interleaved, little-endian

    std::size_t frameCount() const {
        return data.size() / (static_cast<std::size_t>(channels) * bytesPerSample(format));
    }
    double durationSeconds() const { return sampleRate > 0 ? double(frameCount()) / sampleRate : 0.0; }
    bool isRecognizerFormat() const {
        return sampleRate == 16000 && channels == 1 && format == SampleFormat::signed16;
    }
};
