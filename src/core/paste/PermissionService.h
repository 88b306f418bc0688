#pragma once

#include "core/paste/IPermissionService.h"

#include <QtGlobal>

class PermissionProbe;

// What the desktop lets Orlavo do, as the platform reports it.
class PermissionService final : public IPermissionService {
    Q_DISABLE_COPY_MOVE(PermissionService)

public:
    explicit PermissionService(PermissionProbe& probe)
        : m_probe(probe) {}

    bool isAccessibilityGranted() const override;
    bool isMicrophoneGranted() const override;
    QCoro::Task<bool> requestMicrophoneAccess() override;
    QCoro::Task<PermissionState> currentState() override;

private:
    PermissionProbe& m_probe;
};
