#include "core/hotkey/HotkeyCaptureCoordinator.h"

#include "core/hotkey/HotkeyFormatter.h"
#include "core/hotkey/HotkeyText.h"
#include "core/hotkey/KeyCodes.h"

HotkeyCaptureCoordinator::HotkeyCaptureCoordinator(QString functionKeyName, QObject* parent)
    : QObject(parent)
    , m_functionKeyName(std::move(functionKeyName)) {}

void HotkeyCaptureCoordinator::start(const HotkeyBinding& binding) {
    stop();
    m_binding = binding;
    m_isCapturing = true;
    emit isCapturingChanged();
}

void HotkeyCaptureCoordinator::stop() {
    setRefusal({});
    if (m_isCapturing) {
        m_isCapturing = false;
        emit isCapturingChanged();
    }
}

bool HotkeyCaptureCoordinator::typesText(qint64 keyCode) {
    if (keyCode == 49 || keyCode == KeyCodes::returnKey) {
        return true;
    }
    // Letters and digits are the one-character names made of a letter or a digit.
    const auto name = HotkeyFormatter::keyName(keyCode);
    return name && name->size() == 1 && name->at(0).isLetterOrNumber();
}

bool HotkeyCaptureCoordinator::handleKeyEvent(const KeyEvent& event) {
    if (!m_isCapturing) {
        return false;
    }
    switch (event.type) {
    case KeyEvent::Type::keyDown: {
        if (event.keyCode == KeyCodes::escape) {
            stop();
            return true;
        }
        const quint64 modifiers = event.flags & ModifierFlags::bindingMask;
        if (modifiers == 0 && typesText(event.keyCode)) {
            setRefusal(QStringLiteral("%1 alone would type in every window: hold Ctrl, Alt, Shift or Super "
                                      "with it, or choose an F-key.")
                           .arg(HotkeyText::keyName(event.keyCode, m_functionKeyName)));
            return true;
        }
        capture(event.keyCode, modifiers);
        return true;
    }
    case KeyEvent::Type::flagsChanged:
        // Other modifiers are collected with the next key. A release is not a choice: it may
        // be the end of a press that came before the capture.
        if ((event.keyCode != KeyCodes::function && event.keyCode != KeyCodes::capsLock) ||
            event.isPress == false) {
            return false;
        }
        capture(event.keyCode, 0);
        return true;
    case KeyEvent::Type::keyUp:
        return false;
    }
    return false;
}

void HotkeyCaptureCoordinator::capture(qint64 keyCode, quint64 modifiers) {
    m_binding.keyCode = keyCode;
    m_binding.modifiersRawValue = modifiers;
    stop();
    emit bindingCaptured();
}

void HotkeyCaptureCoordinator::setRefusal(const QString& refusal) {
    if (refusal != m_refusal) {
        m_refusal = refusal;
        emit refusalChanged();
    }
}
