#pragma once

#include "core/model/HotkeyBinding.h"
#include "core/ports/Clock.h"
#include "core/ports/KeyEventSource.h"

#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

class PortalClient;

// The hotkey as a shortcut of the desktop (the GlobalShortcuts portal): no access to the
// keyboards needed, and the desktop lets the user confirm or change the key once. The binding is
// offered as the preferred trigger; the shortcut's activation and deactivation come back as the
// bound key's press and release, so the hotkey monitor's rules apply unchanged. Only one press
// per activation: a desktop that repeats Activated while the key is held starts nothing new.
// The portal does not pass other keys on, so Escape cannot cancel on this path.
class GlobalShortcutsKeySource final
    : public QObject
    , public KeyEventSource {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GlobalShortcutsKeySource)

public:
    static inline const QString interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
    static inline const QString shortcutId = QStringLiteral("dictate");

    GlobalShortcutsKeySource(const Clock& clock, std::shared_ptr<PortalClient> portal);
    ~GlobalShortcutsKeySource() override;

    // Binds the shortcut in the background; true at once, since the answer may wait on the user.
    bool start(Handler handler) override;
    void stop() override;
    bool isEnabled() const override;
    bool enable() override;
    void setOnDisabled(std::function<void()> handler) override { m_onDisabled = std::move(handler); }
    void setBinding(const HotkeyBinding& binding) override;

    bool isBound() const { return m_phase == Phase::bound; }
    // The key the desktop reports for the shortcut ("Ctrl+Shift+D"); empty until bound.
    QString triggerDescription() const { return m_triggerDescription; }
    // Why there is no shortcut, in one line for the user; absent while there is one or may be.
    // Safe from any thread (the setup wizard checks off the main thread).
    std::optional<QString> problem() const;

private slots:
    void handleActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                         const QVariantMap& options);
    void handleDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                           const QVariantMap& options);
    void handleSessionClosed(const QVariantMap& details);

private:
    enum class Phase { idle, creating, binding, bound, refused };

    void ensureBound();
    void createSession();
    void bindShortcut();
    void refuse(const QString& reason);
    void closeSession();
    void deliver(bool pressed);
    void setProblem(std::optional<QString> problem);

    const Clock& m_clock;
    std::shared_ptr<PortalClient> m_portal;
    Handler m_handler;
    std::function<void()> m_onDisabled;
    HotkeyBinding m_binding;
    HotkeyBinding m_pressedBinding;
    // The binding the session's shortcut was made for (or refused for).
    std::optional<HotkeyBinding> m_sessionBinding;
    QString m_session;
    Phase m_phase = Phase::idle;
    bool m_listening = false;
    bool m_pressed = false;
    QString m_triggerDescription;
    mutable std::mutex m_problemMutex;
    std::optional<QString> m_problem;
};
