#include "RecordingKeySynthesizer.h"

#include "EventJournal.h"
#include "common/ErrorDomain.h"
#include "hotkey/KeyCodes.h"

Result<void> RecordingKeySynthesizer::tapKey(quint16 keyCode, quint64 flags) {
    if (!m_available || m_failAfter == 0) {
        if (m_journal) {
            m_journal->record(QStringLiteral("key refused ") + describe(keyCode, flags));
        }
        return PTTError{ErrorDomain::platform, 1, QStringLiteral("Key presses cannot be posted")};
    }
    if (m_failAfter > 0) {
        --m_failAfter;
    }
    m_taps.append({keyCode, flags});
    if (m_journal) {
        m_journal->record(QStringLiteral("key ") + describe(keyCode, flags));
    }
    return Result<void>::success();
}

QString RecordingKeySynthesizer::describe(quint16 keyCode, quint64 flags) {
    QString text;
    if (flags & ModifierFlags::control) {
        text += QStringLiteral("ctrl+");
    }
    if (flags & ModifierFlags::option) {
        text += QStringLiteral("alt+");
    }
    if (flags & ModifierFlags::shift) {
        text += QStringLiteral("shift+");
    }
    if (flags & ModifierFlags::command) {
        text += QStringLiteral("super+");
    }
    switch (keyCode) {
    case KeyCodes::v:
        return text + QStringLiteral("V");
    case KeyCodes::returnKey:
        return text + QStringLiteral("Return");
    case KeyCodes::leftArrow:
        return text + QStringLiteral("Left");
    case KeyCodes::insert:
        return text + QStringLiteral("Insert");
    case KeyCodes::capsLock:
        return text + QStringLiteral("CapsLock");
    default:
        return text + QString::number(keyCode);
    }
}
