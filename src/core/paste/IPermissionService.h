#pragma once

#include <QCoroTask>

// What the desktop lets Orlavo do. Reading never prompts.
class IPermissionService {
public:
    virtual ~IPermissionService() = default;

    virtual bool isAccessibilityGranted() const = 0;
    virtual bool isMicrophoneGranted() const = 0;
    virtual QCoro::Task<bool> requestMicrophoneAccess() = 0;
};
