#pragma once

#include "core/ports/AudioInput.h"

#include <coroutine>
#include <cstddef>
#include <optional>
#include <vector>

// A microphone fed by the test. start() completes at once with the scripted result, or, when
// held, waits for a stop(), which fails it as a real input would. Buffers are delivered on
// whatever thread calls deliver().
class GeneratedAudioInput final : public AudioInput {
public:
    bool isAuthorized() const override { return m_authorized; }
    QCoro::Task<Result<void>> start(BufferHandler onBuffer, FailureHandler onFailure) override;
    void stop() override;

    void setAuthorized(bool authorized) { m_authorized = authorized; }
    void setStartResult(Result<void> result) { m_startResult = std::move(result); }
    void setHoldStart(bool hold) { m_holdStart = hold; }

    // Between a start() and the following stop(): buffers are accepted.
    bool isOpen() const { return static_cast<bool>(m_onBuffer); }
    int startCount() const { return m_startCount; }
    int stopCount() const { return m_stopCount; }

    // Hands one buffer of interleaved frames to the handler, if the input is open.
    void deliver(const void* data, std::size_t frames, const AudioFormat& format);
    // Converts float frames to `format`'s sample type and delivers them in buffers of
    // `framesPerBuffer` frames.
    void deliverSignal(const std::vector<float>& interleaved, const AudioFormat& format,
                       std::size_t framesPerBuffer);
    // The device goes away: the failure handler runs (on the calling thread: call it on the main one).
    void fail(const PTTError& error);

private:
    struct StartGate {
        GeneratedAudioInput& input;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) { input.m_pendingStart = handle; }
        void await_resume() const noexcept {}
    };

    bool m_authorized = true;
    bool m_holdStart = false;
    Result<void> m_startResult = Result<void>::success();
    std::optional<Result<void>> m_heldOutcome;
    std::coroutine_handle<> m_pendingStart;
    BufferHandler m_onBuffer;
    FailureHandler m_onFailure;
    int m_startCount = 0;
    int m_stopCount = 0;
};
