#pragma once

#include "ServiceCallLog.h"
#include "core/overlay/IOverlayController.h"

#include <QStringList>

// Records every call as "show Recording recording", "update Done done", "hide 0.6".
class FakeOverlayController final : public IOverlayController {
public:
    void show(const QString& text, OverlayState state) override {
        record(QStringLiteral("show %1 %2").arg(text, rawValue(state)));
    }
    void update(const QString& text, std::optional<OverlayState> state) override {
        record(QStringLiteral("update %1 %2").arg(text, state ? rawValue(*state) : QStringLiteral("-")));
    }
    void hide(double afterSeconds) override {
        record(QStringLiteral("hide ") + QString::number(afterSeconds));
    }
    void setAudioLevel(float level) override { audioLevel = level; }

    QStringList calls;
    float audioLevel = 0;
    ServiceCallLog* log = nullptr;

private:
    void record(const QString& call) {
        calls.append(call);
        logCall(log, QStringLiteral("overlay:") + call);
    }
};
