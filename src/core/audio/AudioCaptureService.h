#pragma once

#include "core/audio/IAudioCaptureService.h"
#include "core/audio/SampleConverter.h"
#include "core/audio/SampleRing.h"
#include "core/common/PTTError.h"
#include "core/ports/Scheduler.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class AudioInput;

// Records the microphone into a 16 kHz mono 16-bit WAV.
//
// Threads: every public call, the state and the finished samples belong to the main thread. The
// input's buffers arrive on its own thread, where they are converted, measured and written into a
// lock-free ring; that thread neither allocates, nor waits, nor touches any Qt object. The main
// thread drains the ring and hands on the latest level at the display rate while the capture
// runs, and once more after the input has stopped.
class AudioCaptureService final : public IAudioCaptureService {
    Q_DISABLE_COPY_MOVE(AudioCaptureService)

public:
    static constexpr double normalizationTarget = 0.8;
    // How often the level reaches the owner: the overlay draws at most 30 frames a second.
    static constexpr double levelInterval = 1.0 / 30.0;

    AudioCaptureService(AudioInput& input, Scheduler& scheduler);
    ~AudioCaptureService() override;

    State state() const override { return m_state; }
    QCoro::Task<Result<void>> startCapture() override;
    Result<AudioCaptureResult> stopCapture() override;
    void cancelCapture() override;
    bool hasVoiceActivity(const QByteArray& wavData, double threshold) const override;
    void setOnAudioLevel(LevelHandler handler) override { m_onLevel = std::move(handler); }

private:
    // Audio thread: what one buffer produced.
    class BufferSink final : public SampleConverter::Sink {
    public:
        explicit BufferSink(SampleRing& ring)
            : m_ring(ring) {}
        void begin();
        void write(const qint16* samples, std::size_t count) override;
        std::size_t count() const { return m_count; }
        bool lostSamples() const { return m_lost; }
        float level() const;

    private:
        SampleRing& m_ring;
        float m_sumOfSquares = 0;
        std::size_t m_count = 0;
        bool m_lost = false;
    };

    // Main thread, after the input stopped: the resampler's tail goes straight to the samples.
    class TailSink final : public SampleConverter::Sink {
    public:
        explicit TailSink(std::vector<qint16>& samples)
            : m_samples(samples) {}
        void write(const qint16* samples, std::size_t count) override {
            m_samples.insert(m_samples.end(), samples, samples + count);
        }

    private:
        std::vector<qint16>& m_samples;
    };

    void handleBuffer(const void* data, std::size_t frames, const AudioFormat& format);
    void takeConverted();
    void handleInputFailure(quint64 generation, const PTTError& error);
    void stopInput();
    void clearRecording();

    AudioInput& m_input;
    Scheduler& m_scheduler;
    State m_state = State::idle;
    // Grows with every start, stop and cancel, so that late callbacks of an earlier recording are
    // recognised and ignored.
    quint64 m_generation = 0;
    std::optional<double> m_startedAt;
    std::optional<PTTError> m_inputFailure;
    std::vector<qint16> m_samples;
    LevelHandler m_onLevel;
    int m_expectedRate = 48000;
    Scheduler::TimerId m_levelTimer = Scheduler::invalidTimer;
    std::uint64_t m_buffersTaken = 0;

    SampleConverter m_converter;
    SampleRing m_ring;
    BufferSink m_bufferSink;
    std::atomic<float> m_latestLevel{0};
    // Buffers that produced samples; the main thread compares it with m_buffersTaken.
    std::atomic<std::uint64_t> m_buffersConverted{0};
    std::atomic<bool> m_lostSamples{false};

    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
