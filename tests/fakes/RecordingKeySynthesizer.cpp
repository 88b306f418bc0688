#include "RecordingKeySynthesizer.h"

#include "EventJournal.h"
#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "core/hotkey/KeyCodes.h"

#include <QHash>

Result<void> RecordingKeySynthesizer::tapKey(quint16 keyCode, quint64 flags) {
    if (!m_available || m_failAfter == 0) {
        if (m_journal) {
            m_journal->record(QStringLiteral("key refused ") + describe(keyCode, flags));
        }
        return makeError(PlatformError::cannotPostKeys, QStringLiteral("Key presses cannot be posted"));
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

Result<void> RecordingKeySynthesizer::typeText(const QString& text) {
    if (!m_available) {
        return PTTError{ErrorDomain::platform, 1, QStringLiteral("Key presses cannot be posted")};
    }
    m_typed.append(text);
    if (m_journal) {
        m_journal->record(QStringLiteral("typed ") + text);
    }
    return Result<void>::success();
}

QString RecordingKeySynthesizer::describe(quint16 keyCode, quint64 flags) {
    static const std::pair<quint64, const char*> modifiers[] = {{ModifierFlags::control, "ctrl+"},
                                                                {ModifierFlags::option, "alt+"},
                                                                {ModifierFlags::shift, "shift+"},
                                                                {ModifierFlags::command, "super+"}};
    static const QHash<qint64, QString> keys{{KeyCodes::v, QStringLiteral("V")},
                                             {KeyCodes::y, QStringLiteral("Y")},
                                             {KeyCodes::returnKey, QStringLiteral("Return")},
                                             {KeyCodes::leftArrow, QStringLiteral("Left")},
                                             {KeyCodes::insert, QStringLiteral("Insert")},
                                             {KeyCodes::capsLock, QStringLiteral("CapsLock")}};
    QString text;
    for (const auto& [flag, name] : modifiers) {
        if (flags & flag) {
            text += QLatin1String(name);
        }
    }
    return text + keys.value(keyCode, QString::number(keyCode));
}
