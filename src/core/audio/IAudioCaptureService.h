#pragma once

#include "core/audio/AudioCaptureResult.h"
#include "core/common/Result.h"

#include <QByteArray>
#include <QCoroTask>

#include <functional>

// Microphone capture as the dictation controller uses it. Main thread only.
class IAudioCaptureService {
public:
    enum class State { idle, starting, capturing };
    using LevelHandler = std::function<void(float level)>;

    virtual ~IAudioCaptureService() = default;

    virtual State state() const = 0;
    bool isCapturing() const { return state() == State::capturing; }

    // Opens the microphone. Refused (an error) while starting or capturing. A cancelCapture()
    // while this is pending tears the start down; the task then completes with an error.
    virtual QCoro::Task<Result<void>> startCapture() = 0;

    // Ends the capture and hands back the recording; an error when none runs, or when the input
    // failed during the recording.
    virtual Result<AudioCaptureResult> stopCapture() = 0;

    // Throws the recording (or a pending start) away. Never fails.
    virtual void cancelCapture() = 0;

    // The silence test on a WAV made by stopCapture().
    virtual bool hasVoiceActivity(const QByteArray& wavData, double threshold) const = 0;

    // The live level in [0, 1], delivered on the main thread.
    virtual void setOnAudioLevel(LevelHandler handler) = 0;
};
