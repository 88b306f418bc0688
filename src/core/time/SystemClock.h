#pragma once

#include "core/ports/Clock.h"

#include <QElapsedTimer>

class SystemClock final : public Clock {
public:
    SystemClock();

    QDateTime now() const override;
    double monotonicSeconds() const override;

private:
    QElapsedTimer m_origin;
};
