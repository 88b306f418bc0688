#pragma once

#include "core/ports/PermissionProbe.h"

// Nothing is permitted; the reason says why this desktop is not supported.
class NullPermissionProbe final : public PermissionProbe {
public:
    explicit NullPermissionProbe(QString reason)
        : m_reason(std::move(reason)) {}

    bool isAccessibilityTrusted() const override { return false; }
    bool isMicrophoneAuthorized() const override { return false; }
    QCoro::Task<bool> requestMicrophoneAccess() override { co_return false; }
    std::optional<QString> unsupportedDesktopReason() const override { return m_reason; }

private:
    QString m_reason;
};
