#pragma once

#include "common/ErrorDomain.h"
#include "ports/KeySynthesizer.h"

// Nothing can be typed: every key fails, nothing is posted.
class NullKeySynthesizer final : public KeySynthesizer {
public:
    Result<void> tapKey(quint16, quint64) override {
        return PTTError{ErrorDomain::platform, 1, QStringLiteral("Cannot type keys on this desktop")};
    }
    bool isAvailable() const override { return false; }
};
