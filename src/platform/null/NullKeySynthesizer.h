#pragma once

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "core/ports/KeySynthesizer.h"

// Nothing can be typed: every key fails, with the reason when one is known, nothing is posted.
class NullKeySynthesizer final : public KeySynthesizer {
public:
    NullKeySynthesizer() = default;
    explicit NullKeySynthesizer(QString reason)
        : m_reason(std::move(reason)) {}

    Result<void> tapKey(quint16, quint64) override {
        return makeError(PlatformError::cannotPostKeys,
                         m_reason.isEmpty() ? QStringLiteral("Cannot type keys on this desktop")
                                            : QStringLiteral("Cannot type keys: %1").arg(m_reason));
    }
    bool isAvailable() const override { return false; }

private:
    QString m_reason;
};
