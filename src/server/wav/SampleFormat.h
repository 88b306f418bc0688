#pragma once

// How one sample is stored in a PCM WAV data chunk.
enum class SampleFormat { unsigned8, signed16, signed24, signed32, float32, float64 };

constexpr int bytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::unsigned8:
        return 1;
    case SampleFormat::signed16:
        return 2;
    case SampleFormat::signed24:
        return 3;
    case SampleFormat::signed32:
    case SampleFormat::float32:
        return 4;
    case SampleFormat::float64:
        return 8;
    }
    return 0;
}
