#pragma once

#include "ports/PermissionProbe.h"

// Permissions set by the test; a microphone request answers `grantOnRequest` and remembers it.
class ScriptedPermissionProbe final : public PermissionProbe {
public:
    bool isAccessibilityTrusted() const override { return accessibilityTrusted; }
    bool isMicrophoneAuthorized() const override { return microphoneAuthorized; }
    QCoro::Task<bool> requestMicrophoneAccess() override {
        ++requestCount;
        microphoneAuthorized = microphoneAuthorized || grantOnRequest;
        co_return microphoneAuthorized;
    }
    std::optional<QString> unsupportedDesktopReason() const override { return unsupportedReason; }

    bool accessibilityTrusted = true;
    bool microphoneAuthorized = true;
    bool grantOnRequest = true;
    int requestCount = 0;
    std::optional<QString> unsupportedReason;
};
