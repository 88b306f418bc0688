#pragma once

#include "core/paste/IPermissionService.h"

class FakePermissionService final : public IPermissionService {
public:
    bool isAccessibilityGranted() const override { return accessibility; }
    bool isMicrophoneGranted() const override { return microphone; }
    QCoro::Task<bool> requestMicrophoneAccess() override { co_return microphone; }

    bool accessibility = true;
    bool microphone = true;
};
