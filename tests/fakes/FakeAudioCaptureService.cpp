#include "FakeAudioCaptureService.h"

#include "core/audio/AudioCaptureError.h"
#include "core/common/ErrorCode.h"
#include "core/ports/Scheduler.h"

QCoro::Task<Result<void>> FakeAudioCaptureService::startCapture() {
    if (m_state != State::idle) {
        co_return makeError(AudioCaptureError::busy, QStringLiteral("A capture is already running"));
    }
    ++startCount;
    logCall(log, QStringLiteral("capture:start"));
    m_state = State::starting;
    m_cancelledWhileStarting = false;
    if (startDelay > 0) {
        co_await m_scheduler.sleep(startDelay);
    }
    if (m_cancelledWhileStarting || startError) {
        m_state = State::idle;
        co_return m_cancelledWhileStarting
            ? makeError(AudioCaptureError::cancelled, QStringLiteral("Cancelled"))
            : *startError;
    }
    m_state = State::capturing;
    co_return Result<void>::success();
}

Result<AudioCaptureResult> FakeAudioCaptureService::stopCapture() {
    logCall(log, QStringLiteral("capture:stop"));
    if (m_state != State::capturing) {
        return makeError(AudioCaptureError::notRunning, QStringLiteral("No recording is running"));
    }
    m_state = State::idle;
    return nextRecording;
}

void FakeAudioCaptureService::cancelCapture() {
    ++cancelCount;
    logCall(log, QStringLiteral("capture:cancel"));
    if (m_state == State::starting) {
        m_cancelledWhileStarting = true;
        return;
    }
    m_state = State::idle;
}

bool FakeAudioCaptureService::hasVoiceActivity(const QByteArray&, double) const {
    return voiceActivity;
}
