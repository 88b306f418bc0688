#include "platform/linux/portal/RemoteDesktopKeySynthesizer.h"

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/PlatformError.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

RemoteDesktopKeySynthesizer::RemoteDesktopKeySynthesizer(std::shared_ptr<PortalClient> portal,
                                                         TokenStore tokens)
    : m_portal(std::move(portal))
    , m_tokens(std::move(tokens)) {}

RemoteDesktopKeySynthesizer::~RemoteDesktopKeySynthesizer() {
    if (!m_session.isEmpty()) {
        m_portal->connection().send(QDBusMessage::createMethodCall(
            PortalClient::service, m_session, PortalClient::sessionInterface, QStringLiteral("Close")));
    }
}

std::optional<QString> RemoteDesktopKeySynthesizer::problem() const {
    const std::lock_guard lock(m_problemMutex);
    return m_problem;
}

void RemoteDesktopKeySynthesizer::setProblem(std::optional<QString> problem) {
    const std::lock_guard lock(m_problemMutex);
    m_problem = std::move(problem);
}

void RemoteDesktopKeySynthesizer::startSession() {
    if (m_phase == Phase::starting || m_phase == Phase::ready) {
        return;
    }
    m_phase = Phase::starting;
    m_portal->createSession(
        interface, this, SLOT(handleSessionClosed(QVariantMap)),
        [this](const QString& session) {
            m_session = session;
            selectDevices();
        },
        [this](const PortalClient::Response& response) {
            refuse(QStringLiteral("opened no remote-control session"), response);
        });
}

void RemoteDesktopKeySynthesizer::selectDevices() {
    QVariantMap options{{QStringLiteral("types"), keyboardDevice},
                        {QStringLiteral("persist_mode"), persistUntilRevoked}};
    const QString restoreToken = m_tokens.load ? m_tokens.load() : QString();
    if (!restoreToken.isEmpty()) {
        options.insert(QStringLiteral("restore_token"), restoreToken);
    }
    m_portal->request(interface, QStringLiteral("SelectDevices"),
                      {QVariant::fromValue(QDBusObjectPath(m_session))}, options, this,
                      [this](const PortalClient::Response& response) {
                          if (response.code != 0) {
                              refuse(QStringLiteral("offered no keyboard"), response);
                              return;
                          }
                          startDevices();
                      });
}

void RemoteDesktopKeySynthesizer::startDevices() {
    m_portal->request(
        interface, QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_session)), QString()}, {},
        this, [this](const PortalClient::Response& response) {
            if (response.code != 0) {
                refuse(QStringLiteral("did not allow Orlavo to type"), response);
                return;
            }
            const QVariant devices = response.results.value(QStringLiteral("devices"));
            if (devices.isValid() && (devices.toUInt() & keyboardDevice) == 0) {
                fail(QStringLiteral("the desktop allowed no keyboard to Orlavo"));
                return;
            }
            // A new token replaces the one offered: each is good for one restore.
            const QString restoreToken = response.results.value(QStringLiteral("restore_token")).toString();
            if (!restoreToken.isEmpty() && m_tokens.save) {
                m_tokens.save(restoreToken);
            }
            m_phase = Phase::ready;
            setProblem(std::nullopt);
        });
}

void RemoteDesktopKeySynthesizer::refuse(const QString& step, const PortalClient::Response& response) {
    if (response.code == 1) {
        fail(QStringLiteral("typing was declined in the desktop's dialog"));
    } else {
        fail(QStringLiteral("the desktop %1%2")
                 .arg(step,
                      response.error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(response.error)));
    }
}

void RemoteDesktopKeySynthesizer::fail(const QString& reason) {
    if (!m_session.isEmpty()) {
        m_portal->connection().disconnect(QString(), m_session, PortalClient::sessionInterface,
                                          QStringLiteral("Closed"), this,
                                          SLOT(handleSessionClosed(QVariantMap)));
        m_portal->connection().send(QDBusMessage::createMethodCall(
            PortalClient::service, m_session, PortalClient::sessionInterface, QStringLiteral("Close")));
        m_session.clear();
    }
    m_phase = Phase::refused;
    // A token the desktop no longer honours would only bring the refusal back next time.
    if (m_tokens.save) {
        m_tokens.save(QString());
    }
    setProblem(reason);
}

void RemoteDesktopKeySynthesizer::handleSessionClosed(const QVariantMap&) {
    // Revoked by the user or the portal went away; the next press starts a new session.
    m_session.clear();
    m_phase = Phase::idle;
}

Result<void> RemoteDesktopKeySynthesizer::notReady() const {
    const std::optional<QString> why = problem();
    return makeError(
        PlatformError::cannotPostKeys,
        why ? *why
            : QStringLiteral("The desktop has not yet allowed Orlavo to type; answer its dialog and "
                             "dictate again."));
}

Result<void> RemoteDesktopKeySynthesizer::tapKey(quint16 keyCode, quint64 flags) {
    if (m_phase != Phase::ready) {
        if (m_phase == Phase::idle) {
            startSession();
        }
        return notReady();
    }
    const std::optional<std::vector<KeysymStream::Press>> presses = KeysymStream::forChord(keyCode, flags);
    if (!presses) {
        return makeError(PlatformError::noKeySymbol,
                         QStringLiteral("No key symbol for key code %1").arg(keyCode));
    }
    post(*presses);
    return Result<void>::success();
}

Result<void> RemoteDesktopKeySynthesizer::typeText(const QString& text) {
    if (m_phase != Phase::ready) {
        if (m_phase == Phase::idle) {
            startSession();
        }
        return notReady();
    }
    post(KeysymStream::forText(text));
    return Result<void>::success();
}

void RemoteDesktopKeySynthesizer::post(const std::vector<KeysymStream::Press>& presses) {
    const QVariant session = QVariant::fromValue(QDBusObjectPath(m_session));
    for (const KeysymStream::Press& press : presses) {
        m_portal->send(interface, QStringLiteral("NotifyKeyboardKeysym"),
                       {session, QVariantMap(), static_cast<int>(press.keysym), uint(press.pressed ? 1 : 0)});
    }
}
