#pragma once

#include "ServiceCallLog.h"
#include "paste/IPasteService.h"

#include <QStringList>

#include <functional>

// Records what would have been typed into the front application.
class FakePasteService final : public IPasteService {
public:
    QCoro::Task<Result<void>> insertViaClipboard(QString text) override;
    QCoro::Task<std::optional<QString>> selectedText() override;
    Result<void> selectPreviousText(int characterCount) override;
    Result<void> sendKeystroke(quint16 keyCode, quint64 flags) override;

    std::optional<QString> selection;
    std::optional<PTTError> pasteError;
    bool selectionFails = false;

    QStringList pasted;
    ServiceCallLog* log = nullptr;
    // Called as each paste is posted.
    std::function<void()> onPaste;
};
