#include "core/paste/PermissionService.h"

#include "core/ports/PermissionProbe.h"

bool PermissionService::isAccessibilityGranted() const {
    return m_probe.isAccessibilityTrusted();
}

bool PermissionService::isMicrophoneGranted() const {
    return m_probe.isMicrophoneAuthorized();
}

QCoro::Task<bool> PermissionService::requestMicrophoneAccess() {
    co_return co_await m_probe.requestMicrophoneAccess();
}

QCoro::Task<PermissionState> PermissionService::currentState() {
    co_return co_await m_probe.probe();
}
