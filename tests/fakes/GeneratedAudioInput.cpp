#include "GeneratedAudioInput.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

QCoro::Task<Result<void>> GeneratedAudioInput::start(BufferHandler onBuffer, FailureHandler onFailure) {
    ++m_startCount;
    m_onBuffer = std::move(onBuffer);
    m_onFailure = std::move(onFailure);
    m_heldOutcome.reset();
    if (m_holdStart) {
        co_await StartGate{*this};
    }
    Result<void> outcome = m_heldOutcome.value_or(m_startResult);
    if (!outcome) {
        m_onBuffer = nullptr;
        m_onFailure = nullptr;
    }
    co_return outcome;
}

void GeneratedAudioInput::stop() {
    ++m_stopCount;
    m_onBuffer = nullptr;
    m_onFailure = nullptr;
    if (const std::coroutine_handle<> pending = std::exchange(m_pendingStart, {})) {
        m_heldOutcome = makeError(PlatformError::audioInputCancelled,
                                  QStringLiteral("The input was stopped while opening"));
        pending.resume();
    }
}

void GeneratedAudioInput::deliver(const void* data, std::size_t frames, const AudioFormat& format) {
    if (m_onBuffer) {
        m_onBuffer(data, frames, format);
    }
}

void GeneratedAudioInput::deliverSignal(const std::vector<float>& interleaved, const AudioFormat& format,
                                        std::size_t framesPerBuffer) {
    const auto channels = static_cast<std::size_t>(format.channels);
    const std::size_t totalFrames = interleaved.size() / channels;
    std::vector<std::uint8_t> buffer(framesPerBuffer * channels * 4);
    for (std::size_t first = 0; first < totalFrames; first += framesPerBuffer) {
        const std::size_t frames = std::min(framesPerBuffer, totalFrames - first);
        const float* source = interleaved.data() + first * channels;
        const std::size_t count = frames * channels;
        switch (format.sampleType) {
        case AudioFormat::SampleType::float32:
            std::copy(source, source + count, reinterpret_cast<float*>(buffer.data()));
            break;
        case AudioFormat::SampleType::int16:
            for (std::size_t index = 0; index < count; ++index) {
                const double scaled = std::clamp(source[index] * 32768.0, -32768.0, 32767.0);
                reinterpret_cast<qint16*>(buffer.data())[index] = static_cast<qint16>(std::lrint(scaled));
            }
            break;
        case AudioFormat::SampleType::int32:
            for (std::size_t index = 0; index < count; ++index) {
                const double scaled = std::clamp(source[index] * 2147483648.0, -2147483648.0, 2147483647.0);
                reinterpret_cast<qint32*>(buffer.data())[index] = static_cast<qint32>(std::llrint(scaled));
            }
            break;
        }
        deliver(buffer.data(), frames, format);
    }
}

void GeneratedAudioInput::fail(const PTTError& error) {
    const FailureHandler handler = m_onFailure;
    m_onBuffer = nullptr;
    m_onFailure = nullptr;
    if (handler) {
        handler(error);
    }
}
