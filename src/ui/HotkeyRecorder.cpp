#include "ui/HotkeyRecorder.h"

#include "core/hotkey/HotkeyText.h"

#include <QKeyEvent>
#include <QQuickWindow>

namespace {

struct Keyboard {
    HotkeyRecorder::TranslatorFactory factory;
    QString functionKeyName;
};

Keyboard& keyboard() {
    static Keyboard instance;
    return instance;
}

} // namespace

void HotkeyRecorder::setKeyboard(TranslatorFactory factory, QString functionKeyName) {
    keyboard() = Keyboard{std::move(factory), std::move(functionKeyName)};
}

QString HotkeyRecorder::functionKeyName() {
    return keyboard().functionKeyName;
}

HotkeyRecorder::HotkeyRecorder(QObject* parent)
    : QObject(parent)
    , m_coordinator(keyboard().functionKeyName) {
    if (keyboard().factory) {
        m_translator = keyboard().factory();
    }
    connect(&m_coordinator, &HotkeyCaptureCoordinator::isCapturingChanged, this,
            &HotkeyRecorder::isCapturingChanged);
    connect(&m_coordinator, &HotkeyCaptureCoordinator::refusalChanged, this, &HotkeyRecorder::refusalChanged);
    connect(&m_coordinator, &HotkeyCaptureCoordinator::bindingCaptured, this, [this] {
        m_binding = m_coordinator.binding();
        emit bindingChanged();
        emit captured();
    });
}

HotkeyRecorder::~HotkeyRecorder() {
    if (m_window) {
        m_window->removeEventFilter(this);
    }
}

void HotkeyRecorder::setWindow(QQuickWindow* window) {
    if (window == m_window) {
        return;
    }
    // A capture belongs to the window it was started in.
    stop();
    if (m_window) {
        m_window->removeEventFilter(this);
    }
    m_window = window;
    if (m_window) {
        m_window->installEventFilter(this);
    }
    if (m_translator) {
        m_translator->reset();
    }
    emit windowChanged();
}

void HotkeyRecorder::setKeyCode(int keyCode) {
    if (keyCode != m_binding.keyCode) {
        m_binding.keyCode = keyCode;
        emit bindingChanged();
    }
}

void HotkeyRecorder::setModifiers(int modifiers) {
    if (static_cast<quint64>(modifiers) != m_binding.modifiersRawValue) {
        m_binding.modifiersRawValue = static_cast<quint64>(static_cast<quint32>(modifiers));
        emit bindingChanged();
    }
}

QString HotkeyRecorder::text() const {
    return HotkeyText::readable(m_binding, keyboard().functionKeyName);
}

QString HotkeyRecorder::refusal() const {
    if (m_coordinator.isCapturing() && !m_translator) {
        return QStringLiteral("This desktop does not tell Orlavo which keys are pressed here.");
    }
    return m_coordinator.refusal();
}

void HotkeyRecorder::start() {
    m_coordinator.start(m_binding);
}

void HotkeyRecorder::stop() {
    m_coordinator.stop();
}

bool HotkeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (!m_translator) {
            break;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool press = event->type() == QEvent::KeyPress;
        // Every key is read, captured or not, so the modifiers held when a capture starts are known.
        const auto translated = m_translator->translate(key->nativeScanCode(), press, key->isAutoRepeat());
        if (translated && m_coordinator.handleKeyEvent(*translated)) {
            return true;
        }
        // Nothing typed during a capture reaches the window's fields.
        if (press && m_coordinator.isCapturing()) {
            return true;
        }
        break;
    }
    case QEvent::FocusOut:
        // Releases that happen elsewhere never come here.
        if (m_translator) {
            m_translator->reset();
        }
        break;
    case QEvent::Hide:
        stop();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
