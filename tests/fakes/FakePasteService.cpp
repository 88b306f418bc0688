#include "FakePasteService.h"

#include "common/ErrorDomain.h"

QCoro::Task<Result<void>> FakePasteService::insertViaClipboard(QString text) {
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

QCoro::Task<std::optional<QString>> FakePasteService::selectedText() {
    co_return selection;
}

Result<void> FakePasteService::selectPreviousText(int characterCount) {
    logCall(log, QStringLiteral("select:") + QString::number(characterCount));
    if (selectionFails) {
        return PTTError{ErrorDomain::platform, 1, QStringLiteral("Keys cannot be posted")};
    }
    return Result<void>::success();
}

Result<void> FakePasteService::sendKeystroke(quint16 keyCode, quint64 flags) {
    logCall(log, QStringLiteral("key:%1:%2").arg(keyCode).arg(flags));
    return Result<void>::success();
}
