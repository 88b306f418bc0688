#pragma once

#include "core/hotkey/HotkeyCaptureCoordinator.h"
#include "core/ports/WindowKeyTranslator.h"

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>

// The shortcut recorder of the settings window and the setup wizard: a capture coordinator fed by
// the key events of the window it sits in. An event filter on that window reads every key through
// the platform's key table (so Right Ctrl is fn on X11) and lets the coordinator take the ones a
// capture ends with, before any control of the window sees them.
//
// The shown binding is `keyCode`/`modifiers`; a capture writes both and emits captured(), and the
// screen that owns the binding stores it. Not final: QML derives its element type from it.
class HotkeyRecorder : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_DISABLE_COPY_MOVE(HotkeyRecorder)
    Q_PROPERTY(QQuickWindow* window READ window WRITE setWindow NOTIFY windowChanged)
    Q_PROPERTY(int keyCode READ keyCode WRITE setKeyCode NOTIFY bindingChanged)
    Q_PROPERTY(int modifiers READ modifiers WRITE setModifiers NOTIFY bindingChanged)
    // "Ctrl+Alt+Space", "Right Ctrl": the binding as the desktop names keys.
    Q_PROPERTY(QString text READ text NOTIFY bindingChanged)
    Q_PROPERTY(bool isCapturing READ isCapturing NOTIFY isCapturingChanged)
    Q_PROPERTY(QString refusal READ refusal NOTIFY refusalChanged)

public:
    using TranslatorFactory = std::function<std::unique_ptr<WindowKeyTranslator>()>;

    // What every recorder of the run reads keys with, and the name of the key that stands in for
    // fn; set once by the application before any window opens. Without a translator no key can
    // be read: a capture then says so in `refusal` and ends only with Cancel.
    static void setKeyboard(TranslatorFactory factory, QString functionKeyName);
    static QString functionKeyName();

    explicit HotkeyRecorder(QObject* parent = nullptr);
    ~HotkeyRecorder() override;

    QQuickWindow* window() const { return m_window; }
    void setWindow(QQuickWindow* window);
    // As int for QML, which has no 64-bit property type: key codes and modifier bits fit.
    int keyCode() const { return static_cast<int>(m_binding.keyCode); }
    void setKeyCode(int keyCode);
    int modifiers() const { return static_cast<int>(m_binding.modifiersRawValue); }
    void setModifiers(int modifiers);
    QString text() const;
    bool isCapturing() const { return m_coordinator.isCapturing(); }
    QString refusal() const;

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();

Q_SIGNALS:
    void windowChanged();
    void bindingChanged();
    void isCapturingChanged();
    void refusalChanged();
    void captured();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HotkeyCaptureCoordinator m_coordinator;
    std::unique_ptr<WindowKeyTranslator> m_translator;
    QPointer<QQuickWindow> m_window;
    HotkeyBinding m_binding;
};
