#pragma once

#include "ServiceCallLog.h"
#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "core/paste/IPasteService.h"
#include "core/ports/Scheduler.h"

#include <QStringList>

#include <functional>

// Records what would have been typed into the front application.
class FakePasteService final : public IPasteService {
public:
    QCoro::Task<Result<void>> insertViaClipboard(QString text) override {
        if (onPaste) {
            onPaste();
        }
        logCall(log, QStringLiteral("paste:") + text);
        if (pasteError) {
            co_return *pasteError;
        }
        pasted.append(std::move(text));
        co_return Result<void>::success();
    }
    QCoro::Task<std::optional<QString>> selectedText() override {
        const std::optional<QString> answer = selection; // as it was when asked
        if (selectionDelay > 0) {
            co_await scheduler->sleep(selectionDelay);
        }
        co_return answer;
    }
    Result<void> selectPreviousText(int characterCount) override {
        logCall(log, QStringLiteral("select:") + QString::number(characterCount));
        if (selectionFails) {
            return makeError(PlatformError::cannotPostKeys, QStringLiteral("Keys cannot be posted"));
        }
        return Result<void>::success();
    }
    Result<void> sendKeystroke(quint16 keyCode, quint64 flags) override {
        logCall(log, QStringLiteral("key:%1:%2").arg(keyCode).arg(flags));
        return Result<void>::success();
    }

    std::optional<QString> selection;
    // How long the focused application takes to answer.
    double selectionDelay = 0;
    Scheduler* scheduler = nullptr;
    std::optional<PTTError> pasteError;
    bool selectionFails = false;

    QStringList pasted;
    ServiceCallLog* log = nullptr;
    // Called as each paste is posted.
    std::function<void()> onPaste;
};
