#pragma once

#include "core/common/Result.h"

#include <QCoroTask>
#include <QString>

#include <optional>

// Typing into the focused application. Main thread only; nothing here blocks it.
class IPasteService {
public:
    virtual ~IPasteService() = default;

    // Puts the text on the clipboard, posts the paste chord and later puts the user's clipboard
    // back. Fails when the chord cannot be posted (nothing half-pressed is left behind).
    virtual QCoro::Task<Result<void>> insertViaClipboard(QString text) = 0;

    // The selection in the focused application; absent when there is none or it is blank.
    virtual QCoro::Task<std::optional<QString>> selectedText() = 0;

    // Extends the selection leftwards by that many characters (Shift+Left presses).
    virtual Result<void> selectPreviousText(int characterCount) = 0;

    // One key press with the given modifier flags.
    virtual Result<void> sendKeystroke(quint16 keyCode, quint64 flags) = 0;
};
