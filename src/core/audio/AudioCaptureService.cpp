#include "core/audio/AudioCaptureService.h"

#include "core/audio/AudioCaptureErrors.h"
#include "core/audio/PcmNormalizer.h"
#include "core/audio/VoiceActivity.h"
#include "core/audio/WavFile.h"
#include "core/common/CoreLogging.h"
#include "core/ports/AudioInput.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

// Long enough to ride out a main thread that stalls for half a minute.
constexpr std::size_t ringSamples = std::size_t(1) << 19;

} // namespace

void AudioCaptureService::BufferSink::begin() {
    m_sumOfSquares = 0;
    m_count = 0;
    m_lost = false;
}

void AudioCaptureService::BufferSink::write(const qint16* samples, std::size_t count) {
    if (m_ring.write(samples, count) < count) {
        m_lost = true;
    }
    float sum = 0;
    for (std::size_t index = 0; index < count; ++index) {
        const float value = static_cast<float>(samples[index]) / 32768.0f;
        sum += value * value;
    }
    m_sumOfSquares += sum;
    m_count += count;
}

float AudioCaptureService::BufferSink::level() const {
    if (m_count == 0) {
        return 0;
    }
    // Speech rarely comes near full scale; six times the RMS fills the meter at a sixth of it.
    return std::min(1.0f, 6.0f * std::sqrt(m_sumOfSquares / static_cast<float>(m_count)));
}

AudioCaptureService::AudioCaptureService(AudioInput& input, Scheduler& scheduler)
    : m_input(input)
    , m_scheduler(scheduler)
    , m_ring(ringSamples)
    , m_bufferSink(m_ring) {
    m_converter.prepare(m_expectedRate);
}

AudioCaptureService::~AudioCaptureService() {
    m_alive.reset();
    ++m_generation;
    if (m_state != State::idle) {
        m_input.stop();
    }
    m_scheduler.cancel(m_levelTimer);
}

QCoro::Task<Result<void>> AudioCaptureService::startCapture() {
    if (m_state != State::idle) {
        co_return AudioCaptureErrors::busyError();
    }
    if (!m_input.isAuthorized()) {
        co_return AudioCaptureErrors::notAuthorizedError();
    }
    m_state = State::starting;
    const quint64 generation = ++m_generation;
    clearRecording();
    m_converter.prepare(m_expectedRate);
    m_startedAt = m_scheduler.clock().monotonicSeconds();
    m_levelTimer = m_scheduler.repeating(levelInterval, [this] { takeConverted(); });

    const std::weak_ptr<int> alive = m_alive;
    Result<void> started = co_await m_input.start(
        [this](const void* data, std::size_t frames, const AudioFormat& format) {
            handleBuffer(data, frames, format);
        },
        [this, generation](const PTTError& error) { handleInputFailure(generation, error); });

    if (alive.expired() || generation != m_generation) {
        // Cancelled (or stopped) while the input was opening; whoever did that stopped the input.
        co_return AudioCaptureErrors::cancelledError();
    }
    if (!started) {
        m_state = State::idle;
        ++m_generation;
        clearRecording();
        co_return started.error();
    }
    if (m_inputFailure) {
        const PTTError failure = *m_inputFailure;
        stopInput();
        co_return failure;
    }
    m_state = State::capturing;
    co_return Result<void>::success();
}

Result<AudioCaptureResult> AudioCaptureService::stopCapture() {
    if (m_state == State::starting) {
        // Nothing was recorded yet, but the microphone must not open once the start completes.
        stopInput();
        return AudioCaptureErrors::notRunningError();
    }
    if (m_state != State::capturing) {
        return AudioCaptureErrors::notRunningError();
    }
    const double stoppedAt = m_scheduler.clock().monotonicSeconds();
    m_input.stop();
    m_state = State::idle;
    ++m_generation;

    // A recording with a hole in it must not be pasted as if it were the whole dictation.
    if (m_inputFailure || m_lostSamples.load()) {
        const PTTError failure =
            m_inputFailure ? AudioCaptureErrors::inputLostError() : AudioCaptureErrors::samplesLostError();
        if (m_inputFailure) {
            qCWarning(lcAudio).noquote()
                << "Audio input failed during the recording:" << m_inputFailure->toString();
        }
        clearRecording();
        return failure;
    }

    m_ring.readInto(m_samples);
    TailSink tail(m_samples);
    m_converter.flush(tail);
    if (m_converter.inputRate() > 0) {
        m_expectedRate = m_converter.inputRate();
    }

    const double elapsed = m_startedAt ? std::max(0.0, stoppedAt - *m_startedAt) : 0.0;
    const auto durationMs = static_cast<qint64>(elapsed * 1000.0);
    PcmNormalizer::normalize(m_samples, normalizationTarget);
    AudioCaptureResult result{WavFile::fromSamples(m_samples), durationMs};
    clearRecording();
    return result;
}

void AudioCaptureService::cancelCapture() {
    if (m_state != State::idle) {
        stopInput();
    } else {
        ++m_generation;
        clearRecording();
    }
}

bool AudioCaptureService::hasVoiceActivity(const QByteArray& wavData, double threshold) const {
    return VoiceActivity::hasVoiceActivity(wavData, threshold);
}

void AudioCaptureService::handleBuffer(const void* data, std::size_t frames, const AudioFormat& format) {
    m_bufferSink.begin();
    const bool converted = m_converter.convert(data, frames, format, m_bufferSink);
    if (m_bufferSink.lostSamples()) {
        m_lostSamples.store(true, std::memory_order_relaxed);
    }
    if (!converted || m_bufferSink.count() == 0) {
        return;
    }
    m_latestLevel.store(m_bufferSink.level(), std::memory_order_relaxed);
    m_buffersConverted.fetch_add(1, std::memory_order_release);
}

void AudioCaptureService::takeConverted() {
    const std::uint64_t converted = m_buffersConverted.load(std::memory_order_acquire);
    if (m_state == State::idle || converted == m_buffersTaken) {
        return;
    }
    m_buffersTaken = converted;
    m_ring.readInto(m_samples);
    if (m_onLevel) {
        m_onLevel(m_latestLevel.load(std::memory_order_relaxed));
    }
}

void AudioCaptureService::handleInputFailure(quint64 generation, const PTTError& error) {
    if (generation != m_generation || m_state == State::idle) {
        return;
    }
    // Kept until the owner stops or cancels: then it learns that the recording is incomplete.
    if (!m_inputFailure) {
        m_inputFailure = error;
    }
}

void AudioCaptureService::stopInput() {
    ++m_generation;
    m_state = State::idle;
    m_input.stop();
    clearRecording();
}

void AudioCaptureService::clearRecording() {
    m_scheduler.cancel(m_levelTimer);
    m_levelTimer = Scheduler::invalidTimer;
    m_samples.clear();
    m_ring.clear();
    m_startedAt.reset();
    m_inputFailure.reset();
    m_lostSamples.store(false);
    m_latestLevel.store(0);
    m_buffersConverted.store(0);
    m_buffersTaken = 0;
}
