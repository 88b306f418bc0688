#include "ui/settings/AccountPanel.h"

#include "core/backend/IBackendClient.h"
#include "core/backend/ServiceDescription.h"
#include "core/dictation/PTTAppState.h"
#include "core/settings/KeychainService.h"
#include "core/update/UpdateService.h"
#include "ui/settings/FeatureSuggestion.h"

namespace {

QString orUnknown(const QString& value) {
    return value.isEmpty() ? QStringLiteral("?") : value;
}

} // namespace

AccountPanel::AccountPanel(Ports ports, Links links, About about, QObject* parent)
    : QObject(parent)
    , m_controller(ports.controller)
    , m_keychain(ports.keychain)
    , m_backend(ports.backend)
    , m_scheduler(ports.scheduler)
    , m_updates(ports.updates)
    , m_openUrl(std::move(ports.openUrl))
    , m_links(std::move(links))
    , m_about(std::move(about)) {
    connect(&m_controller, &PTTAppState::brevantApiKeyChanged, this, &AccountPanel::keyChanged);
    connect(&m_controller, &PTTAppState::statsSummaryChanged, this, &AccountPanel::statsChanged);
}

AccountPanel::~AccountPanel() {
    m_scheduler.cancel(m_thanksTimer);
}

void AccountPanel::setKeyDraft(const QString& draft) {
    if (draft != m_keyDraft) {
        m_keyDraft = draft;
        emit keyChanged();
    }
}

bool AccountPanel::canSaveKey() const {
    return !m_keyDraft.trimmed().isEmpty();
}

bool AccountPanel::hasKey() const {
    return !m_controller.brevantApiKey().trimmed().isEmpty();
}

void AccountPanel::saveKey() {
    const QString key = m_keyDraft.trimmed();
    if (key.isEmpty()) {
        return;
    }
    m_keychain.write(KeychainService::apiKeyAccount, key);
    m_controller.setBrevantApiKey(key);
    // The key is stored; the field keeps no copy of it.
    setKeyDraft({});
}

void AccountPanel::signOut() {
    m_keychain.remove(KeychainService::apiKeyAccount);
    m_controller.setBrevantApiKey({});
}

qint64 AccountPanel::totalSessions() const {
    return m_controller.statsSummary().totalSessions;
}

qint64 AccountPanel::totalWords() const {
    return m_controller.statsSummary().totalWords;
}

QString AccountPanel::versionText() const {
    return QStringLiteral("Orlavo v") + orUnknown(m_about.version);
}

QString AccountPanel::buildText() const {
    return QStringLiteral("Build ") + orUnknown(m_about.build);
}

void AccountPanel::refreshService() {
    askService();
}

QCoro::Task<> AccountPanel::askService() {
    const QPointer<AccountPanel> self(this);
    const auto answer = co_await m_backend.health();
    if (!self) {
        co_return;
    }
    const QUrl base(m_controller.settings().backendBaseURL);
    QString text;
    if (!answer) {
        text = QStringLiteral("No answer from the service at %1").arg(base.host());
    } else {
        text = ServiceDescription::text(answer.value(), base);
    }
    if (text != m_serviceText) {
        m_serviceText = text;
        emit serviceTextChanged();
    }
}

void AccountPanel::checkForUpdates() {
    if (m_updates && !m_isCheckingUpdate) {
        runUpdateCheck();
    }
}

QCoro::Task<> AccountPanel::runUpdateCheck() {
    const QPointer<AccountPanel> self(this);
    m_isCheckingUpdate = true;
    emit isCheckingUpdateChanged();
    co_await m_updates->checkForUpdates();
    if (self) {
        m_isCheckingUpdate = false;
        emit isCheckingUpdateChanged();
    }
}

void AccountPanel::installUpdate() {
    if (m_updates) {
        m_updates->requestInstall();
    }
}

void AccountPanel::openSupportPage() {
    if (hasSupportPage() && m_openUrl) {
        m_openUrl(m_links.supportPage);
    }
}

void AccountPanel::openPrivacyPage() {
    if (hasPrivacyPage() && m_openUrl) {
        m_openUrl(m_links.privacyPage);
    }
}

QUrl AccountPanel::suggestionUrl(const QString& text) const {
    return FeatureSuggestion::mailtoUrl(m_links.feedbackAddress, text, m_about.version, m_about.build,
                                        m_about.systemName);
}

bool AccountPanel::sendFeatureRequest(const QString& text) {
    if (!canSuggest() || text.trimmed().isEmpty()) {
        return false;
    }
    const QUrl url = suggestionUrl(text);
    const bool opened = url.isValid() && m_openUrl && m_openUrl(url);
    if (!opened) {
        setFeedback(false, QStringLiteral("No mail application could be opened. Write to %1 instead.")
                               .arg(m_links.feedbackAddress));
        return false;
    }
    setFeedback(true, {});
    m_scheduler.cancel(m_thanksTimer);
    const QPointer<AccountPanel> self(this);
    m_thanksTimer = m_scheduler.after(thanksSeconds, [self] {
        if (self) {
            self->m_thanksTimer = Scheduler::invalidTimer;
            self->setFeedback(false, {});
        }
    });
    return true;
}

void AccountPanel::setFeedback(bool sent, const QString& error) {
    if (sent != m_feedbackSent || error != m_feedbackError) {
        m_feedbackSent = sent;
        m_feedbackError = error;
        emit feedbackChanged();
    }
}
