#pragma once

#include "core/ports/AudioInput.h"

#include <QtGlobal>

#include <array>
#include <cstddef>

struct soxr;

// Converts whatever the microphone delivers (any rate, any channel count, 16/32-bit integer or
// float) to 16 kHz mono 16-bit samples. Channels are averaged, then resampled with libsoxr. All
// working storage is allocated once; the resampler is built by prepare() for the rate the stream
// is expected to have, so a buffer only builds one itself when the rate turns out different.
//
// Not thread-safe: prepare() and flush() belong to whoever runs the stream before and after it,
// convert() to the stream's thread while it runs.
class SampleConverter final {
    Q_DISABLE_COPY_MOVE(SampleConverter)

public:
    static constexpr int targetRate = 16000;

    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void write(const qint16* samples, std::size_t count) = 0;
    };

    SampleConverter();
    ~SampleConverter();

    // Starts a new stream at `expectedRate`, forgetting what the last one left behind.
    void prepare(int expectedRate);

    // One buffer of interleaved frames. False when the format cannot be converted or the
    // resampler fails: the buffer is dropped.
    bool convert(const void* data, std::size_t frames, const AudioFormat& format, Sink& sink);

    // Writes the samples the resampler still holds at the end of the stream.
    void flush(Sink& sink);

    // The rate of the stream seen last (0 before any).
    int inputRate() const { return m_rate; }

private:
    static constexpr std::size_t chunkFrames = 512;
    static constexpr std::size_t outputFrames = 2048;

    bool useRate(int rate);
    bool resample(const float* mono, std::size_t frames, Sink& sink);
    void writeOut(const float* samples, std::size_t count, Sink& sink);

    soxr* m_resampler = nullptr;
    int m_rate = 0;
    std::array<float, chunkFrames> m_mono{};
    std::array<float, outputFrames> m_resampled{};
    std::array<qint16, outputFrames> m_converted{};
};
