// The controller's operations that belong to no single dictation: health checks, the snippets
// and dictionary, settings, permissions, the notes destination, the setup window and the
// hotkey monitor switch.

#include "core/backend/IBackendClient.h"
#include "core/backend/ServiceDescription.h"
#include "core/common/CoreLogging.h"
#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/dictation/PTTAppState.h"
#include "core/dictation/PipelineError.h"
#include "core/files/FileBookmark.h"
#include "core/hotkey/IHotkeyMonitor.h"
#include "core/hotkey/KeyCodes.h"
#include "core/notes/INotesService.h"
#include "core/paste/IPermissionService.h"
#include "core/ports/FileChooser.h"
#include "core/ports/ProcessLauncher.h"
#include "core/settings/KeychainService.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"

#include <QFileInfo>
#include <QPointer>

namespace {

// Background failures have no window to go to.
void report(const char* what, const PTTError& error) {
    qCWarning(lcDictation).noquote().nospace() << what << error.description;
}

PTTError emptyEntry() {
    return makeError(PipelineError::incompleteEntry, QStringLiteral("Both fields need some text."));
}

} // namespace

void PTTAppState::reportProblem(const QString& message) {
    setLastEvent(PTTEvent::make(PTTState::idle, std::nullopt, message));
}

QCoro::Task<> PTTAppState::checkServerHealth() {
    const QPointer<PTTAppState> self(this);
    const auto response = co_await m_services.backend.health();
    if (self) {
        setServerReachable(response.ok());
    }
}

QCoro::Task<> PTTAppState::checkBackendHealth() {
    const QPointer<PTTAppState> self(this);
    const auto response = co_await m_services.backend.health();
    if (!self) {
        co_return;
    }
    SetupStatus status = m_setupStatus;
    status.backendReachable = response.ok();
    status.lastBackendError = response.ok() ? std::nullopt : std::optional(response.error().description);
    status.backendEngine =
        response.ok()
            ? std::optional(ServiceDescription::text(response.value(), QUrl(settings().backendBaseURL)))
            : std::nullopt;
    setSetupStatus(status);
    if (response.ok()) {
        setServerReachable(true);
    }
}

void PTTAppState::refreshPersonalizationData() {
    auto dictionary = m_services.database.fetchDictionaryEntries();
    if (dictionary != m_dictionaryEntries) {
        m_dictionaryEntries = std::move(dictionary);
        emit dictionaryEntriesChanged();
    }
    auto snippets = m_services.database.fetchSnippets();
    if (snippets != m_snippets) {
        m_snippets = std::move(snippets);
        emit snippetsChanged();
    }
    setStatistics(m_services.database.fetchStatsSummary(), std::nullopt);
}

void PTTAppState::refreshStatistics() {
    setStatistics(m_services.database.fetchStatsSummary(), m_services.database.fetchTodayStats());
}

Result<void> PTTAppState::saveSnippet(const QString& trigger, const QString& body) {
    const QString cleanTrigger = trigger.trimmed();
    const QString cleanBody = body.trimmed();
    if (cleanTrigger.isEmpty() || cleanBody.isEmpty()) {
        return emptyEntry();
    }
    if (auto saved = m_services.database.saveSnippet(cleanTrigger, cleanBody); !saved) {
        report("Could not save snippet: ", saved.error());
        return saved;
    }
    refreshPersonalizationData();
    return Result<void>::success();
}

void PTTAppState::deleteSnippet(qint64 id) {
    if (const auto deleted = m_services.database.deleteSnippet(id); !deleted) {
        report("Could not remove snippet: ", deleted.error());
        return;
    }
    refreshPersonalizationData();
}

Result<void> PTTAppState::saveDictionaryEntry(const QString& wrong, const QString& correct, bool wholeWord) {
    const QString cleanWrong = wrong.trimmed();
    const QString cleanCorrect = correct.trimmed();
    if (cleanWrong.isEmpty() || cleanCorrect.isEmpty()) {
        return emptyEntry();
    }
    if (auto saved = m_services.database.saveDictionaryEntry(cleanWrong, cleanCorrect, wholeWord); !saved) {
        report("Could not save dictionary entry: ", saved.error());
        return saved;
    }
    refreshPersonalizationData();
    return Result<void>::success();
}

void PTTAppState::deleteDictionaryEntry(qint64 id) {
    if (const auto deleted = m_services.database.deleteDictionaryEntry(id); !deleted) {
        report("Could not remove dictionary entry: ", deleted.error());
        return;
    }
    refreshPersonalizationData();
}

void PTTAppState::persistSettings() {
    m_services.settingsStore.save(m_settings);
    if (const auto unsaved = m_services.settingsStore.takeWriteError()) {
        setLastEvent(PTTEvent::make(PTTState::idle, std::nullopt, unsaved->description));
    }
    IHotkeyMonitor& monitor = m_services.hotkeyMonitor;
    const bool bindingChanged = monitor.binding() != m_settings.hotkey;
    monitor.setBinding(m_settings.hotkey);
    // Only a new binding needs new listeners. A restart forgets a latched or held key, so a
    // recording in progress could never be finished: it is discarded first.
    if (bindingChanged && monitor.isRunning()) {
        cancelRecording();
        monitor.stop();
        monitor.start();
    }
    refreshHotkeyMonitorRunning();
}

void PTTAppState::refreshPermissions() {
    refreshPermissionsNow();
}

QCoro::Task<> PTTAppState::refreshPermissionsNow() {
    // The checks wait on the display and the sound server, so they never run on this thread;
    // a recording that starts meanwhile is not held up by them.
    const QPointer<PTTAppState> self(this);
    const PermissionState state = co_await m_services.permissions.currentState();
    if (!self) {
        co_return;
    }
    SetupStatus status = m_setupStatus;
    status.accessibilityGranted = state.accessibilityTrusted;
    status.microphoneGranted = state.microphoneAuthorized;
    setSetupStatus(status);
}

QCoro::Task<> PTTAppState::chooseNotesFile() {
    if (!m_services.fileChooser) {
        co_return;
    }
    SaveFileRequest request{QStringLiteral("Choose Notes Destination"),
                            QStringLiteral("Pick the Markdown file used when Notes mode is enabled."),
                            QStringLiteral("PTT-Notes.md"),
                            {},
                            {QStringLiteral("Markdown (*.md)"), QStringLiteral("Plain text (*.txt)")}};
    if (const auto defaultPath = m_services.notes.defaultNotesPath()) {
        request.directory = QFileInfo(defaultPath.value()).absolutePath();
    }
    const QPointer<PTTAppState> self(this);
    const auto chosen = co_await m_services.fileChooser->chooseSaveFile(std::move(request));
    if (!self || !chosen || chosen->isEmpty()) {
        co_return;
    }
    const auto bookmark = FileBookmark::create(*chosen);
    if (!bookmark) {
        setLastEvent(PTTEvent::make(PTTState::idle, std::nullopt,
                                    QStringLiteral("Could not save notes destination: ") +
                                        bookmark.error().description));
        co_return;
    }
    PTTSettings changed = m_settings;
    changed.notesPathBookmark = bookmark.value();
    setSettings(changed);
    persistSettings();
}

void PTTAppState::openSetupWizard() {
    if (!m_isSetupWizardOpen) {
        setSetupWizardOpen(true);
        emit setupWizardOpenRequested();
    }
    emit setupWizardRaiseRequested();
}

void PTTAppState::completeSetupWizard() {
    persistSettings();
    m_services.keychain.write(KeychainService::backendTokenAccount, m_backendToken);
    m_services.settingsStore.markSetupCompleted();
    setHasCompletedSetup(true);
    finishSetup();
}

QCoro::Task<> PTTAppState::finishSetup() {
    const QPointer<PTTAppState> self(this);
    if (!m_isHotkeyMonitorRunning) {
        co_await startMonitorWithRemap();
        if (!self) {
            co_return;
        }
    }
    if (m_isSetupWizardOpen) {
        emit setupWizardCloseRequested();
    }
}

void PTTAppState::setupWizardClosed() {
    setSetupWizardOpen(false);
}

QCoro::Task<> PTTAppState::setupEjectRemap() {
    if (!m_services.ejectRemapCommand || !m_services.processLauncher) {
        co_return;
    }
    ProcessLauncher* launcher = m_services.processLauncher;
    const ProcessCommand command = *m_services.ejectRemapCommand;
    // Its exit status, and a failure to launch it, change nothing.
    const auto finished = co_await launcher->run(command.program, command.arguments);
    Q_UNUSED(finished)
}

void PTTAppState::startHotkeyMonitor() {
    startMonitorWithRemap();
}

void PTTAppState::stopHotkeyMonitor() {
    cancelRecording();
    m_services.hotkeyMonitor.stop();
    refreshHotkeyMonitorRunning();
}
