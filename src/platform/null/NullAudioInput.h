#pragma once

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "core/ports/AudioInput.h"

// No microphone: not authorised, and every start fails.
class NullAudioInput final : public AudioInput {
public:
    bool isAuthorized() const override { return false; }
    QCoro::Task<Result<void>> start(BufferHandler, FailureHandler) override {
        co_return makeError(PlatformError::audioInputCannotStart,
                            QStringLiteral("No microphone on this desktop"));
    }
    void stop() override {}
};
