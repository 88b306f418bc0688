#pragma once

#include "ServiceCallLog.h"
#include "core/audio/IAudioCaptureService.h"

#include <optional>

class Scheduler;

// A microphone that records what the test says it recorded. Opening it can take virtual time
// (startDelay) and can fail.
class FakeAudioCaptureService final : public IAudioCaptureService {
public:
    explicit FakeAudioCaptureService(Scheduler& scheduler)
        : m_scheduler(scheduler) {}

    State state() const override { return m_state; }
    QCoro::Task<Result<void>> startCapture() override;
    Result<AudioCaptureResult> stopCapture() override;
    void cancelCapture() override;
    bool hasVoiceActivity(const QByteArray& wavData, double threshold) const override;
    void setOnAudioLevel(LevelHandler handler) override { m_levelHandler = std::move(handler); }

    void sendLevel(float level) {
        if (m_levelHandler) {
            m_levelHandler(level);
        }
    }
    bool hasLevelHandler() const { return static_cast<bool>(m_levelHandler); }

    AudioCaptureResult nextRecording{QByteArray("RIFF-fake-wav"), 1500};
    bool voiceActivity = true;
    double startDelay = 0;
    std::optional<PTTError> startError;

    int startCount = 0;
    int cancelCount = 0;
    ServiceCallLog* log = nullptr;

private:
    Scheduler& m_scheduler;
    State m_state = State::idle;
    bool m_cancelledWhileStarting = false;
    LevelHandler m_levelHandler;
};
