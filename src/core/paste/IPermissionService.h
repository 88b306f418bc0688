#pragma once

#include "core/ports/PermissionProbe.h"

#include <QCoroTask>

// What the desktop lets Orlavo do. Reading never prompts.
class IPermissionService {
public:
    virtual ~IPermissionService() = default;

    virtual bool isAccessibilityGranted() const = 0;
    virtual bool isMicrophoneGranted() const = 0;
    virtual QCoro::Task<bool> requestMicrophoneAccess() = 0;

    // Both, without blocking the main thread where the platform's checks can wait.
    virtual QCoro::Task<PermissionState> currentState() {
        co_return PermissionState{isAccessibilityGranted(), isMicrophoneGranted()};
    }
};
