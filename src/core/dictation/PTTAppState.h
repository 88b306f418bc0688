#pragma once

#include "core/common/Result.h"
#include "core/dictation/DictationRun.h"
#include "core/dictation/PTTAppStateDependencies.h"
#include "core/hotkey/HotkeySignal.h"
#include "core/model/DictionaryEntry.h"
#include "core/model/PTTEvent.h"
#include "core/model/PTTSettings.h"
#include "core/model/PTTStatsSummary.h"
#include "core/model/SetupStatus.h"
#include "core/model/SnippetEntry.h"
#include "core/model/TodayStats.h"
#include "core/ports/Scheduler.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>
#include <vector>

class EditPasses;

// The one controller of the application: publishes the state the views show, turns hotkey
// signals into recordings, and carries each finished recording through transcription, the text
// and edit passes and the paste (or the notes file).
//
// Everything runs on the main thread. The pipeline (one DictationRun per recording) is re-entrant
// at its waits; what keeps a second recording or a second finish from starting meanwhile is the
// capture service's state, `isProcessing` and the start in progress. Each start has a generation:
// after its wait it goes on only while it is still the current one and its owner still exists.
class PTTAppState final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PTTAppState)

    Q_PROPERTY(QVariantMap settings READ settingsMap NOTIFY settingsChanged)
    Q_PROPERTY(QVariantMap lastEvent READ lastEventMap NOTIFY lastEventChanged)
    Q_PROPERTY(bool isHotkeyMonitorRunning READ isHotkeyMonitorRunning NOTIFY isHotkeyMonitorRunningChanged)
    Q_PROPERTY(QString backendToken READ backendToken WRITE setBackendToken NOTIFY backendTokenChanged)
    Q_PROPERTY(QVariantMap setupStatus READ setupStatusMap NOTIFY setupStatusChanged)
    Q_PROPERTY(QVariantList snippets READ snippetList NOTIFY snippetsChanged)
    Q_PROPERTY(QVariantList dictionaryEntries READ dictionaryEntryList NOTIFY dictionaryEntriesChanged)
    Q_PROPERTY(QVariantMap statsSummary READ statsSummaryMap NOTIFY statsSummaryChanged)
    Q_PROPERTY(QVariantMap todayStats READ todayStatsMap NOTIFY todayStatsChanged)
    Q_PROPERTY(bool hasCompletedSetup READ hasCompletedSetup NOTIFY hasCompletedSetupChanged)
    Q_PROPERTY(bool serverReachable READ serverReachable NOTIFY serverReachableChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(QString brevantApiKey READ brevantApiKey WRITE setBrevantApiKey NOTIFY brevantApiKeyChanged)
    Q_PROPERTY(bool isSetupWizardOpen READ isSetupWizardOpen NOTIFY isSetupWizardOpenChanged)

public:
    // Loads the settings and credentials, opens the database, and schedules the rest of the
    // start-up: the hotkey monitor (or the setup wizard) 0.5 s later, and one health check now.
    explicit PTTAppState(PTTAppStateDependencies dependencies, QObject* parent = nullptr);
    ~PTTAppState() override;

    const PTTSettings& settings() const { return m_settings; }
    // An edit that is not saved: persistSettings() saves it.
    void setSettings(const PTTSettings& settings);
    const std::optional<PTTEvent>& lastEvent() const { return m_lastEvent; }
    bool isHotkeyMonitorRunning() const { return m_isHotkeyMonitorRunning; }
    QString backendToken() const { return m_backendToken; }
    void setBackendToken(const QString& token);
    const SetupStatus& setupStatus() const { return m_setupStatus; }
    const std::vector<SnippetEntry>& snippets() const { return m_snippets; }
    const std::vector<DictionaryEntry>& dictionaryEntries() const { return m_dictionaryEntries; }
    const PTTStatsSummary& statsSummary() const { return m_statsSummary; }
    const TodayStats& todayStats() const { return m_todayStats; }
    bool hasCompletedSetup() const { return m_hasCompletedSetup; }
    bool serverReachable() const { return m_serverReachable; }
    bool isProcessing() const { return m_isProcessing; }
    QString brevantApiKey() const { return m_brevantApiKey; }
    void setBrevantApiKey(const QString& key);
    bool isSetupWizardOpen() const { return m_isSetupWizardOpen; }

    // For the views: one settings field by its JSON key, checked as a stored record is. False
    // (and nothing changed) for an unknown key or a value the record would not keep.
    Q_INVOKABLE bool setSettingValue(const QString& key, const QVariant& value);

    // A problem found outside any dictation (the service could not be started): shown as the
    // last event, once.
    void reportProblem(const QString& message);

    // Housekeeping, called by the views.
    QCoro::Task<> checkServerHealth();
    QCoro::Task<> checkBackendHealth();
    Q_INVOKABLE void refreshPersonalizationData();
    // Today's and the all-time figures, read again (the status menu does as it opens).
    Q_INVOKABLE void refreshStatistics();
    // Both save operations say whether the entry was stored, so that a form keeps what the user
    // typed when it was not. Text that is empty once trimmed is not stored.
    Result<void> saveSnippet(const QString& trigger, const QString& body);
    Q_INVOKABLE void deleteSnippet(qint64 id);
    Result<void> saveDictionaryEntry(const QString& wrong, const QString& correct, bool wholeWord);
    Q_INVOKABLE void deleteDictionaryEntry(qint64 id);
    Q_INVOKABLE void persistSettings();
    Q_INVOKABLE void refreshPermissions();
    QCoro::Task<> chooseNotesFile();
    // Asks the UI for the setup window (created only when none is open) and brings it forward.
    Q_INVOKABLE void openSetupWizard();
    Q_INVOKABLE void completeSetupWizard();
    // The UI reports that the setup window has closed, whoever closed it.
    Q_INVOKABLE void setupWizardClosed();
    QCoro::Task<> setupEjectRemap();
    // The on/off switch of the status menu. Stopping discards a recording in progress, which
    // could otherwise never be finished.
    Q_INVOKABLE void startHotkeyMonitor();
    Q_INVOKABLE void stopHotkeyMonitor();

    // What every signal of the hotkey monitor does. The command line of a running instance sends
    // the same signals, for desktops where the keys come from elsewhere.
    void handleHotkey(HotkeySignal signal);

Q_SIGNALS:
    void settingsChanged();
    void lastEventChanged();
    void isHotkeyMonitorRunningChanged();
    void backendTokenChanged();
    void setupStatusChanged();
    void snippetsChanged();
    void dictionaryEntriesChanged();
    void statsSummaryChanged();
    void todayStatsChanged();
    void hasCompletedSetupChanged();
    void serverReachableChanged();
    void isProcessingChanged();
    void brevantApiKeyChanged();
    void isSetupWizardOpenChanged();

    // The UI creates the setup window (at most one exists: this comes only while none is open).
    void setupWizardOpenRequested();
    // The UI shows the application's window mode, centres the setup window and activates it.
    void setupWizardRaiseRequested();
    // The UI closes the setup window as if its close button were pressed.
    void setupWizardCloseRequested();

private:
    // What the start in progress must do once the microphone is open.
    enum class AfterStart { record, finish, cancel };

    // What follows the start-up pause: the monitor (or the setup wizard).
    QCoro::Task<> runStartup(bool launchFlag);
    QCoro::Task<> startRecording(QString overlayText);
    QCoro::Task<> finishRecording();
    // Acts only on a capture that is starting or running.
    void cancelRecording();

    bool isCurrent(quint64 generation) const { return generation == m_generation; }
    // The run of a new recording, replacing any earlier one.
    DictationRun* beginRun();
    void endRun();
    bool isCommandMode() const;
    void selectionRead();
    // The island and the last event for how a dictation ended.
    void showOutcome(const DictationRun::Outcome& outcome, std::optional<qint64> durationMs,
                     const std::optional<QString>& sourceApp);

    QString contextualErrorMessage(const PTTError& error);
    void preWarmConnection();
    std::optional<QString> frontApplicationName() const;
    // The Eject remap first when the hotkey is F14, then the monitor.
    QCoro::Task<> startMonitorWithRemap();
    QCoro::Task<> finishSetup();
    QCoro::Task<> refreshPermissionsNow();
    void refreshHotkeyMonitorRunning();

    void setLastEvent(PTTEvent event);
    void setProcessing(bool processing);
    void setServerReachable(bool reachable);
    void setSetupStatus(const SetupStatus& status);
    void setHasCompletedSetup(bool completed);
    void setSetupWizardOpen(bool open);
    void setStatistics(const PTTStatsSummary& summary, const std::optional<TodayStats>& today);

    QVariantMap settingsMap() const;
    QVariantMap lastEventMap() const;
    QVariantMap setupStatusMap() const;
    QVariantList snippetList() const;
    QVariantList dictionaryEntryList() const;
    QVariantMap statsSummaryMap() const;
    QVariantMap todayStatsMap() const;

    PTTAppStateDependencies m_services;
    EditPasses* m_editPasses = nullptr;
    Scheduler::TimerId m_startupTimer = Scheduler::invalidTimer;

    PTTSettings m_settings;
    std::optional<PTTEvent> m_lastEvent;
    bool m_isHotkeyMonitorRunning = false;
    QString m_backendToken;
    SetupStatus m_setupStatus;
    std::vector<SnippetEntry> m_snippets;
    std::vector<DictionaryEntry> m_dictionaryEntries;
    PTTStatsSummary m_statsSummary;
    TodayStats m_todayStats;
    bool m_hasCompletedSetup = false;
    bool m_serverReachable = true;
    bool m_isProcessing = false;
    QString m_brevantApiKey;
    bool m_isSetupWizardOpen = false;

    // The dictation that owns the capture, the selection and `isProcessing`.
    quint64 m_generation = 0;
    bool m_isStarting = false;
    AfterStart m_afterStart = AfterStart::record;
    QString m_startOverlayText;
    // The recording in progress or in the pipeline.
    QPointer<DictationRun> m_run;
};
