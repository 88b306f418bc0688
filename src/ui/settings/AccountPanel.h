#pragma once

#include "core/ports/Scheduler.h"
#include "core/update/UpdateService.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>

class IBackendClient;
class KeychainService;
class PTTAppState;

// The Account tab's decisions: the API key (typed into a draft, stored only by saveKey()), the
// usage figures, what the About section says about this build and the service in use, the update
// check, the maker's links and the feature suggestion mail.
class AccountPanel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
    Q_DISABLE_COPY_MOVE(AccountPanel)
    Q_PROPERTY(QString keyDraft READ keyDraft WRITE setKeyDraft NOTIFY keyChanged)
    Q_PROPERTY(bool canSaveKey READ canSaveKey NOTIFY keyChanged)
    Q_PROPERTY(bool hasKey READ hasKey NOTIFY keyChanged)
    Q_PROPERTY(qint64 totalSessions READ totalSessions NOTIFY statsChanged)
    Q_PROPERTY(qint64 totalWords READ totalWords NOTIFY statsChanged)
    Q_PROPERTY(QString versionText READ versionText CONSTANT)
    Q_PROPERTY(QString buildText READ buildText CONSTANT)
    Q_PROPERTY(QString serviceText READ serviceText NOTIFY serviceTextChanged)
    Q_PROPERTY(UpdateService* updates READ updates CONSTANT)
    Q_PROPERTY(bool isCheckingUpdate READ isCheckingUpdate NOTIFY isCheckingUpdateChanged)
    Q_PROPERTY(bool hasSupportPage READ hasSupportPage CONSTANT)
    Q_PROPERTY(bool hasPrivacyPage READ hasPrivacyPage CONSTANT)
    Q_PROPERTY(bool canSuggest READ canSuggest CONSTANT)
    Q_PROPERTY(bool feedbackSent READ feedbackSent NOTIFY feedbackChanged)
    Q_PROPERTY(QString feedbackError READ feedbackError NOTIFY feedbackChanged)

public:
    // Where the maker is reached; an empty one hides its row (the suggestion form for the address).
    struct Links {
        QString feedbackAddress;
        QUrl supportPage;
        QUrl privacyPage;
    };

    struct Ports {
        PTTAppState& controller;
        KeychainService& keychain;
        IBackendClient& backend;
        Scheduler& scheduler;
        // Absent in a build that cannot update itself.
        UpdateService* updates = nullptr;
        // Hands a link to the desktop; false when nothing could open it.
        std::function<bool(const QUrl&)> openUrl;
    };

    struct About {
        QString version;
        QString build;
        QString systemName;
    };

    static constexpr double thanksSeconds = 4.0;

    AccountPanel(Ports ports, Links links, About about, QObject* parent = nullptr);
    ~AccountPanel() override;

    QString keyDraft() const { return m_keyDraft; }
    void setKeyDraft(const QString& draft);
    bool canSaveKey() const;
    bool hasKey() const;
    // Stores the trimmed draft as the key and empties the draft; nothing when it trims to empty.
    Q_INVOKABLE void saveKey();
    Q_INVOKABLE void signOut();

    qint64 totalSessions() const;
    qint64 totalWords() const;
    QString versionText() const;
    QString buildText() const;
    QString serviceText() const { return m_serviceText; }
    // Asks the service which recogniser it runs.
    Q_INVOKABLE void refreshService();

    UpdateService* updates() const { return m_updates; }
    bool isCheckingUpdate() const { return m_isCheckingUpdate; }
    Q_INVOKABLE void checkForUpdates();
    Q_INVOKABLE void installUpdate();

    bool hasSupportPage() const { return !m_links.supportPage.isEmpty(); }
    bool hasPrivacyPage() const { return !m_links.privacyPage.isEmpty(); }
    Q_INVOKABLE void openSupportPage();
    Q_INVOKABLE void openPrivacyPage();

    bool canSuggest() const { return !m_links.feedbackAddress.isEmpty(); }
    bool feedbackSent() const { return m_feedbackSent; }
    QString feedbackError() const { return m_feedbackError; }
    // Opens the mail; thanks only when a mail application took it. True when one did.
    Q_INVOKABLE bool sendFeatureRequest(const QString& text);
    QUrl suggestionUrl(const QString& text) const;

Q_SIGNALS:
    void keyChanged();
    void statsChanged();
    void serviceTextChanged();
    void isCheckingUpdateChanged();
    void feedbackChanged();

private:
    QCoro::Task<> runUpdateCheck();
    QCoro::Task<> askService();
    void setFeedback(bool sent, const QString& error);

    PTTAppState& m_controller;
    KeychainService& m_keychain;
    IBackendClient& m_backend;
    Scheduler& m_scheduler;
    QPointer<UpdateService> m_updates;
    std::function<bool(const QUrl&)> m_openUrl;
    Links m_links;
    About m_about;
    QString m_keyDraft;
    QString m_serviceText;
    bool m_isCheckingUpdate = false;
    bool m_feedbackSent = false;
    QString m_feedbackError;
    Scheduler::TimerId m_thanksTimer = Scheduler::invalidTimer;
};
