#include "platform/linux/portal/GlobalShortcutsKeySource.h"

#include "platform/linux/portal/PortalClient.h"
#include "platform/linux/portal/PortalShortcut.h"
#include "platform/linux/portal/ShortcutTrigger.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// What to do when the desktop gives us no shortcut, appended to every reason.
const QString whatToDo =
    QStringLiteral("allow Orlavo's shortcut in the desktop's shortcut settings, join the `input` group, or "
                   "bind `orlavo toggle` there");

} // namespace

GlobalShortcutsKeySource::GlobalShortcutsKeySource(const Clock& clock, std::shared_ptr<PortalClient> portal)
    : m_clock(clock)
    , m_portal(std::move(portal)) {
    PortalShortcut::registerType();
    QDBusConnection connection = m_portal->connection();
    connection.connect(QString(), PortalClient::path, interface, QStringLiteral("Activated"), this,
                       SLOT(handleActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    connection.connect(QString(), PortalClient::path, interface, QStringLiteral("Deactivated"), this,
                       SLOT(handleDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

GlobalShortcutsKeySource::~GlobalShortcutsKeySource() {
    closeSession();
}

bool GlobalShortcutsKeySource::start(Handler handler) {
    m_handler = std::move(handler);
    m_listening = true;
    m_pressed = false;
    ensureBound();
    return true;
}

void GlobalShortcutsKeySource::stop() {
    // The session stays: starting again must not ask the user again.
    m_listening = false;
    m_pressed = false;
    m_handler = nullptr;
}

bool GlobalShortcutsKeySource::isEnabled() const {
    return m_listening && m_phase != Phase::idle && m_phase != Phase::refused;
}

bool GlobalShortcutsKeySource::enable() {
    // A refusal stands until the binding changes: asking again at every check would put the
    // desktop's dialog up every 30 seconds.
    if (!m_listening || (m_phase == Phase::refused && m_sessionBinding == m_binding)) {
        return false;
    }
    ensureBound();
    return true;
}

void GlobalShortcutsKeySource::setBinding(const HotkeyBinding& binding) {
    m_binding = binding;
}

std::optional<QString> GlobalShortcutsKeySource::problem() const {
    const std::lock_guard lock(m_problemMutex);
    return m_problem;
}

void GlobalShortcutsKeySource::setProblem(std::optional<QString> problem) {
    const std::lock_guard lock(m_problemMutex);
    m_problem = std::move(problem);
}

void GlobalShortcutsKeySource::ensureBound() {
    switch (m_phase) {
    case Phase::creating:
    case Phase::binding:
        // The answer in flight is compared with the binding when it comes.
        return;
    case Phase::bound:
    case Phase::refused:
        if (m_sessionBinding == m_binding) {
            return;
        }
        // A session binds its shortcuts once: a new key needs a new session.
        closeSession();
        createSession();
        return;
    case Phase::idle:
        createSession();
        return;
    }
}

void GlobalShortcutsKeySource::createSession() {
    m_phase = Phase::creating;
    m_sessionBinding = m_binding;
    m_portal->createSession(
        interface, this, SLOT(handleSessionClosed(QVariantMap)),
        [this](const QString& session) {
            m_session = session;
            bindShortcut();
        },
        [this](const PortalClient::Response& response) {
            refuse(response.error.isEmpty()
                       ? QStringLiteral("the desktop opened no shortcut session")
                       : QStringLiteral("the desktop opened no shortcut session (%1)").arg(response.error));
        });
}

void GlobalShortcutsKeySource::bindShortcut() {
    m_phase = Phase::binding;
    m_sessionBinding = m_binding;
    QVariantMap properties{
        {QStringLiteral("description"), QStringLiteral("Dictate with Orlavo (hold to talk)")}};
    if (const QString trigger = ShortcutTrigger::fromBinding(m_binding); !trigger.isEmpty()) {
        properties.insert(QStringLiteral("preferred_trigger"), trigger);
    }
    const QList<PortalShortcut> shortcuts{{shortcutId, properties}};
    m_portal->request(
        interface, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString()}, {},
        this, [this](const PortalClient::Response& response) {
            if (response.code == 1) {
                refuse(QStringLiteral("the dictation shortcut was declined in the desktop's dialog"));
                return;
            }
            if (response.code != 0) {
                refuse(QStringLiteral("the desktop did not bind the dictation shortcut%1")
                           .arg(response.error.isEmpty() ? QString()
                                                         : QStringLiteral(" (%1)").arg(response.error)));
                return;
            }
            QString description;
            bool found = false;
            for (const PortalShortcut& shortcut :
                 PortalShortcut::listFrom(response.results.value(QStringLiteral("shortcuts")))) {
                if (shortcut.id == shortcutId) {
                    found = true;
                    description = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
                }
            }
            if (!found) {
                refuse(QStringLiteral("no key was given to the dictation shortcut"));
                return;
            }
            m_phase = Phase::bound;
            m_triggerDescription = description;
            setProblem(std::nullopt);
            if (m_sessionBinding != m_binding) {
                ensureBound();
            }
        });
}

void GlobalShortcutsKeySource::refuse(const QString& reason) {
    closeSession();
    m_phase = Phase::refused;
    setProblem(reason + QStringLiteral(": ") + whatToDo);
    if (m_listening && m_onDisabled) {
        m_onDisabled();
    }
}

void GlobalShortcutsKeySource::closeSession() {
    if (m_pressed) {
        deliver(false);
    }
    if (!m_session.isEmpty()) {
        QDBusConnection connection = m_portal->connection();
        connection.disconnect(QString(), m_session, PortalClient::sessionInterface, QStringLiteral("Closed"),
                              this, SLOT(handleSessionClosed(QVariantMap)));
        QDBusMessage close = QDBusMessage::createMethodCall(
            PortalClient::service, m_session, PortalClient::sessionInterface, QStringLiteral("Close"));
        connection.send(close);
        m_session.clear();
    }
    m_phase = Phase::idle;
    m_triggerDescription.clear();
}

void GlobalShortcutsKeySource::handleSessionClosed(const QVariantMap&) {
    // The desktop ended the session (the user revoked it, or the portal restarted).
    m_session.clear();
    closeSession();
    if (m_listening && m_onDisabled) {
        m_onDisabled();
    }
}

void GlobalShortcutsKeySource::handleActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                               const QVariantMap&) {
    if (m_phase != Phase::bound || session.path() != m_session || id != shortcutId || m_pressed) {
        return;
    }
    deliver(true);
}

void GlobalShortcutsKeySource::handleDeactivated(const QDBusObjectPath& session, const QString& id,
                                                 qulonglong, const QVariantMap&) {
    if (session.path() != m_session || id != shortcutId || !m_pressed) {
        return;
    }
    deliver(false);
}

void GlobalShortcutsKeySource::deliver(bool pressed) {
    m_pressed = pressed;
    // A release goes out as the key that went down, should the binding have changed meanwhile.
    if (pressed) {
        m_pressedBinding = m_binding;
    }
    if (m_listening && m_handler) {
        // The portal's timestamps have no stated clock; the monitor's clock is read at arrival.
        m_handler(ShortcutTrigger::eventFor(m_pressedBinding, pressed, m_clock.monotonicSeconds()));
    }
}
