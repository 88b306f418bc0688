#pragma once

#include "core/ports/KeySynthesizer.h"
#include "platform/linux/portal/KeysymStream.h"
#include "platform/linux/portal/PortalClient.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Key presses through the desktop's RemoteDesktop portal, as keysyms (layout-proof). The desktop
// asks the user once; the restore token it hands back is kept (`saveToken`) and offered at the
// next start, so later runs start without asking. The session is started when made, so that the
// dialog shows at start-up rather than at the first dictation; until it is ready, presses fail
// with a clear reason. Presses are queued on the bus in order and never wait for an answer.
class RemoteDesktopKeySynthesizer final
    : public QObject
    , public KeySynthesizer {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RemoteDesktopKeySynthesizer)

public:
    static inline const QString interface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
    // SelectDevices: the keyboard only; persist until the user revokes it.
    static constexpr uint keyboardDevice = 1;
    static constexpr uint persistUntilRevoked = 2;

    struct TokenStore {
        std::function<QString()> load;
        std::function<void(const QString&)> save;
    };

    RemoteDesktopKeySynthesizer(std::shared_ptr<PortalClient> portal, TokenStore tokens);
    ~RemoteDesktopKeySynthesizer() override;

    // Opens the session (the desktop may ask the user); done again after the desktop closed it.
    void startSession();

    Result<void> tapKey(quint16 keyCode, quint64 flags) override;
    Result<void> typeText(const QString& text) override;
    bool canTypeText() const override { return true; }
    bool isAvailable() const override { return m_phase == Phase::ready; }

    // Why keys cannot be typed, in one line; absent while they can or may soon. Any thread.
    std::optional<QString> problem() const;

private slots:
    void handleSessionClosed(const QVariantMap& details);

private:
    enum class Phase { idle, starting, ready, refused };

    void selectDevices();
    void startDevices();
    void refuse(const QString& step, const PortalClient::Response& response);
    void fail(const QString& reason);
    Result<void> notReady() const;
    void post(const std::vector<KeysymStream::Press>& presses);
    void setProblem(std::optional<QString> problem);

    std::shared_ptr<PortalClient> m_portal;
    TokenStore m_tokens;
    QString m_session;
    Phase m_phase = Phase::idle;
    mutable std::mutex m_problemMutex;
    std::optional<QString> m_problem;
};
