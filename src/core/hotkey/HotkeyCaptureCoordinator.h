#pragma once

#include "core/model/HotkeyBinding.h"
#include "core/ports/KeyEventSource.h"

#include <QObject>
#include <QString>

// Records the next key combination pressed in one of the application's own windows. The window
// hands it every key event while a capture runs (see HotkeyRecorder); the coordinator decides
// which ones end the capture and what they write into the binding.
//
// A key that would type text everywhere (a letter, a digit, Space or Return with no modifier) is
// refused with a one-line `refusal` and the capture goes on: as a push-to-talk key it would stop
// the user from ever typing it. F-keys, fn and Caps Lock alone stay allowed.
class HotkeyCaptureCoordinator final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HotkeyCaptureCoordinator)
    Q_PROPERTY(bool isCapturing READ isCapturing NOTIFY isCapturingChanged)
    Q_PROPERTY(QString refusal READ refusal NOTIFY refusalChanged)

public:
    // `functionKeyName` names fn in the refusal text ("Right Ctrl" on X11).
    explicit HotkeyCaptureCoordinator(QString functionKeyName = {}, QObject* parent = nullptr);

    bool isCapturing() const { return m_isCapturing; }
    QString refusal() const { return m_refusal; }
    // The binding of the last start(), with what has been captured since.
    const HotkeyBinding& binding() const { return m_binding; }

    // Starts a capture that edits `binding`; one already running is replaced.
    void start(const HotkeyBinding& binding);
    // Ends a capture, if any, leaving the binding as it was.
    void stop();

    // One key event of the window. True when the coordinator took it: it must not reach the
    // window's controls.
    bool handleKeyEvent(const KeyEvent& event);

    // Whether the key alone would type text (and is refused without a modifier).
    static bool typesText(qint64 keyCode);

Q_SIGNALS:
    void isCapturingChanged();
    void refusalChanged();
    // A key was captured; binding() holds it. Escape and stop() emit nothing.
    void bindingCaptured();

private:
    void capture(qint64 keyCode, quint64 modifiers);
    void setRefusal(const QString& refusal);

    QString m_functionKeyName;
    HotkeyBinding m_binding;
    bool m_isCapturing = false;
    QString m_refusal;
};
