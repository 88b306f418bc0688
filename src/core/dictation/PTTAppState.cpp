#include "core/dictation/PTTAppState.h"

#include "core/audio/IAudioCaptureService.h"
#include "core/backend/BackendUrl.h"
#include "core/backend/IBackendClient.h"
#include "core/dictation/DictationRun.h"
#include "core/dictation/EditPasses.h"
#include "core/dictation/ErrorMessages.h"
#include "core/dictation/VariantRecords.h"
#include "core/hotkey/IHotkeyMonitor.h"
#include "core/hotkey/KeyCodes.h"
#include "core/overlay/IOverlayController.h"
#include "core/paste/IPermissionService.h"
#include "core/ports/FrontApplication.h"
#include "core/ports/Scheduler.h"
#include "core/settings/KeychainService.h"
#include "core/settings/SettingsStore.h"
#include "core/storage/LocalDatabase.h"

#include <QPointer>

PTTAppState::PTTAppState(PTTAppStateDependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_services(dependencies)
    , m_settings(m_services.settingsStore.load()) {
    m_editPasses = new EditPasses(m_services.backend, m_services.overlay, m_services.scheduler,
                                  m_services.database, m_settings, this);
    m_editPasses->setOnServiceAnswered([this] { setServerReachable(true); });

    m_backendToken = m_services.keychain.read(KeychainService::backendTokenAccount).value_or(QString());
    m_brevantApiKey = m_services.keychain.read(KeychainService::apiKeyAccount).value_or(QString());

    m_services.hotkeyMonitor.setBinding(m_settings.hotkey);
    const QPointer<PTTAppState> self(this);
    m_services.hotkeyMonitor.setOnSignal([self](HotkeySignal signal) {
        if (self) {
            self->handleHotkey(signal);
        }
    });

    if (const auto opened = m_services.database.bootstrap(); !opened) {
        setLastEvent(
            PTTEvent::make(PTTState::idle, std::nullopt,
                           QStringLiteral("Database bootstrap failed: ") + opened.error().description));
    } else {
        SetupStatus status = m_setupStatus;
        status.databaseReady = true;
        setSetupStatus(status);
        refreshPermissions();
        refreshPersonalizationData();
    }

    m_hasCompletedSetup = m_services.settingsStore.isSetupCompleted();
    if (qEnvironmentVariableIsSet("PTT_SKIP_WIZARD") && !m_hasCompletedSetup) {
        m_settings.hotkey.keyCode = KeyCodes::function;
        m_services.settingsStore.save(m_settings);
        m_services.hotkeyMonitor.setBinding(m_settings.hotkey);
        if (m_services.hotkeyMonitor.isRunning()) {
            m_services.hotkeyMonitor.stop();
            m_services.hotkeyMonitor.start();
        }
        refreshHotkeyMonitorRunning();
        m_services.settingsStore.markSetupCompleted();
        m_hasCompletedSetup = true;
    }

    // A timer rather than a sleeping coroutine, so that quitting within the pause leaves nothing
    // suspended behind.
    const bool launchFlag = m_hasCompletedSetup;
    m_startupTimer = m_services.scheduler.after(0.5, [this, launchFlag] {
        m_startupTimer = Scheduler::invalidTimer;
        runStartup(launchFlag);
    });
    checkServerHealth();
}

PTTAppState::~PTTAppState() {
    // Whatever still waits resumes into a controller that is no longer there: no pipeline is
    // current from now on, and nothing calls back into this object.
    ++m_generation;
    if (m_run) {
        m_run->abandon();
    }
    m_services.scheduler.cancel(m_startupTimer);
    m_services.hotkeyMonitor.setOnSignal({});
    m_services.audioCapture.setOnAudioLevel({});
    if (m_services.audioCapture.state() != IAudioCaptureService::State::idle) {
        m_services.audioCapture.cancelCapture();
    }
}

QCoro::Task<> PTTAppState::runStartup(bool launchFlag) {
    const QPointer<PTTAppState> self(this);
    if (launchFlag) {
        co_await startMonitorWithRemap();
        if (!self) {
            co_return;
        }
    }
    if (!m_hasCompletedSetup && !m_isSetupWizardOpen) {
        openSetupWizard();
    }
}

void PTTAppState::handleHotkey(HotkeySignal signal) {
    switch (signal) {
    case HotkeySignal::ready:
        setLastEvent(PTTEvent::make(PTTState::idle));
        break;
    case HotkeySignal::keyDown:
        startRecording(QStringLiteral("Recording"));
        break;
    case HotkeySignal::toggleOn:
        startRecording(QStringLiteral("Toggle recording"));
        break;
    case HotkeySignal::keyUp:
    case HotkeySignal::toggleOff:
        finishRecording();
        break;
    case HotkeySignal::cancel:
        cancelRecording();
        break;
    case HotkeySignal::reEnable:
        setLastEvent(PTTEvent::make(PTTState::idle, std::nullopt, QStringLiteral("Event tap re-enabled")));
        break;
    }
}

QCoro::Task<> PTTAppState::startRecording(QString overlayText) {
    if (m_isProcessing) {
        co_return;
    }
    if (m_isStarting) {
        // A quick tap's cancel still waits for the microphone; the second press of a double
        // tap takes that start over instead of being refused.
        if (m_afterStart == AfterStart::cancel) {
            m_afterStart = AfterStart::record;
            m_startOverlayText = overlayText;
        }
        co_return;
    }
    if (m_services.audioCapture.state() != IAudioCaptureService::State::idle) {
        co_return;
    }

    const quint64 generation = ++m_generation;
    m_isStarting = true;
    m_afterStart = AfterStart::record;
    m_startOverlayText = std::move(overlayText);
    const QPointer<PTTAppState> self(this);

    // What is selected as the key goes down decides command mode, but the microphone does not
    // wait for the answer: the first words would be lost.
    DictationRun* run = beginRun();
    // The capture's request goes out first (the task runs up to its first wait at once).
    auto starting = m_services.audioCapture.startCapture();
    run->readSelection();
    const auto started = co_await std::move(starting);
    if (!self || !isCurrent(generation)) {
        co_return;
    }
    m_isStarting = false;

    if (!started) {
        endRun();
        m_services.overlay.update(QStringLiteral("Mic denied"), OverlayState::error);
        m_services.overlay.hide(1.2);
        setLastEvent(PTTEvent::make(PTTState::idle, std::nullopt, started.error().description));
        co_return;
    }
    if (m_afterStart == AfterStart::cancel) {
        cancelRecording();
        co_return;
    }

    refreshPermissions();
    m_services.audioCapture.setOnAudioLevel([self](float level) {
        if (self) {
            self->m_services.overlay.setAudioLevel(level);
        }
    });
    if (isCommandMode()) {
        m_services.overlay.show(QStringLiteral("Command Mode"), OverlayState::commandMode);
    } else {
        m_services.overlay.show(m_startOverlayText, OverlayState::recording);
    }
    setLastEvent(PTTEvent::make(PTTState::recording, std::nullopt, std::nullopt, std::nullopt,
                                frontApplicationName()));
    preWarmConnection();

    // A release that came while the microphone was opening.
    if (m_afterStart == AfterStart::finish) {
        co_await finishRecording();
    }
}

DictationRun* PTTAppState::beginRun() {
    endRun();
    m_run = new DictationRun(m_services, *m_editPasses, m_settings, this);
    connect(m_run, &DictationRun::selectionRead, this, &PTTAppState::selectionRead);
    return m_run;
}

void PTTAppState::endRun() {
    if (m_run) {
        m_run->abandon();
        m_run->deleteLater();
        m_run = nullptr;
    }
}

bool PTTAppState::isCommandMode() const {
    return m_run && m_run->isSelectionRead() && m_run->selection() && !m_run->selection()->isEmpty();
}

void PTTAppState::selectionRead() {
    // A selection that arrives during the recording turns the island into command mode; before
    // the microphone is open the start shows it, after the release the pipeline does.
    if (sender() == m_run && !m_isStarting && !m_isProcessing && m_services.audioCapture.isCapturing() &&
        isCommandMode()) {
        m_services.overlay.show(QStringLiteral("Command Mode"), OverlayState::commandMode);
    }
}

void PTTAppState::cancelRecording() {
    if (m_isStarting) {
        m_afterStart = AfterStart::cancel;
        return;
    }
    // A dictation already in the pipeline is not the recording this cancel is about.
    if (m_isProcessing || !m_services.audioCapture.isCapturing()) {
        return;
    }
    m_services.audioCapture.cancelCapture();
    endRun();
    m_services.overlay.update(QStringLiteral("Cancelled"), OverlayState::error);
    m_services.overlay.hide(0.8);
    setLastEvent(PTTEvent::make(PTTState::idle, std::nullopt, QStringLiteral("Cancelled")));
}

QCoro::Task<> PTTAppState::finishRecording() {
    if (m_isStarting) {
        if (m_afterStart == AfterStart::record) {
            m_afterStart = AfterStart::finish;
        }
        co_return;
    }
    if (!m_services.audioCapture.isCapturing() || m_isProcessing) {
        co_return;
    }

    if (!m_run) {
        beginRun()->skipSelection();
    }
    const QPointer<DictationRun> run = m_run;
    setProcessing(true);
    m_services.overlay.update(QStringLiteral("Transcribing\u2026"), OverlayState::transcribing);
    const std::optional<QString> sourceApp = frontApplicationName();
    const QString mode = m_settings.hotkey.gestureMode == GestureMode::toggle ? QStringLiteral("toggle")
                                                                              : QStringLiteral("push");
    setLastEvent(PTTEvent::make(PTTState::transcribing, std::nullopt, std::nullopt, std::nullopt, sourceApp));

    auto capture = m_services.audioCapture.stopCapture();
    const QPointer<PTTAppState> self(this);
    std::optional<DictationRun::Outcome> outcome;
    std::optional<qint64> durationMs;
    if (!capture) {
        outcome = DictationRun::Outcome{capture.error(), {}, std::nullopt, false};
    } else {
        durationMs = capture->durationMs;
        outcome = co_await run->deliver(std::move(capture).value(), sourceApp, mode);
    }
    if (!self || !outcome || !run || run != m_run) {
        co_return;
    }
    showOutcome(*outcome, durationMs, sourceApp);
    setProcessing(false);
    endRun();
}

void PTTAppState::showOutcome(const DictationRun::Outcome& outcome, std::optional<qint64> durationMs,
                              const std::optional<QString>& sourceApp) {
    const std::optional<QString> transcript =
        outcome.transcript.isEmpty() ? std::nullopt : std::optional<QString>(outcome.transcript);
    if (outcome.error) {
        m_services.overlay.update(contextualErrorMessage(*outcome.error), OverlayState::error);
        m_services.overlay.hide(1.5);
        setLastEvent(
            PTTEvent::make(PTTState::idle, transcript, outcome.error->description, std::nullopt, sourceApp));
        return;
    }
    if (outcome.countedPaste) {
        setStatistics(m_services.database.fetchStatsSummary(), m_services.database.fetchTodayStats());
    }
    if (outcome.notesMessage) {
        m_services.overlay.update(QStringLiteral("Note saved"), OverlayState::done);
        m_services.overlay.hide(0.9);
        setLastEvent(PTTEvent::make(PTTState::idle, transcript, outcome.notesMessage, durationMs, sourceApp));
    } else {
        m_services.overlay.update(QStringLiteral("Done"), OverlayState::done);
        m_services.overlay.hide(0.6);
        setLastEvent(PTTEvent::make(PTTState::idle, transcript, std::nullopt, durationMs, sourceApp));
    }
    // The text arrived, but its statistics did not reach the disk: said, not swallowed.
    if (const auto unsaved = m_services.database.takeWriteError()) {
        setLastEvent(PTTEvent::make(PTTState::idle, transcript, unsaved->description, durationMs, sourceApp));
    }
}

QString PTTAppState::contextualErrorMessage(const PTTError& error) {
    const ContextualErrorMessage message = ErrorMessages::contextualErrorMessage(error);
    if (message.serverUnreachable) {
        setServerReachable(false);
    }
    return message.message;
}

void PTTAppState::preWarmConnection() {
    if (const auto url = BackendUrl::join(m_settings.backendBaseURL, BackendUrl::healthPath)) {
        m_services.backend.warmUp(*url);
    }
}

std::optional<QString> PTTAppState::frontApplicationName() const {
    return DictationRun::frontApplicationName(m_services.frontApplication);
}

QCoro::Task<> PTTAppState::startMonitorWithRemap() {
    const QPointer<PTTAppState> self(this);
    if (m_settings.hotkey.keyCode == KeyCodes::f14) {
        co_await setupEjectRemap();
        if (!self) {
            co_return;
        }
    }
    m_services.hotkeyMonitor.start();
    refreshHotkeyMonitorRunning();
}

void PTTAppState::refreshHotkeyMonitorRunning() {
    const bool running = m_services.hotkeyMonitor.isRunning();
    if (running != m_isHotkeyMonitorRunning) {
        m_isHotkeyMonitorRunning = running;
        emit isHotkeyMonitorRunningChanged();
    }
}

void PTTAppState::setSettings(const PTTSettings& settings) {
    if (settings != m_settings) {
        m_settings = settings;
        emit settingsChanged();
    }
}

bool PTTAppState::setSettingValue(const QString& key, const QVariant& value) {
    auto changed = VariantRecords::withSettingValue(m_settings, key, value);
    if (!changed) {
        return false;
    }
    setSettings(*changed);
    return true;
}

void PTTAppState::setBackendToken(const QString& token) {
    if (token != m_backendToken) {
        m_backendToken = token;
        emit backendTokenChanged();
    }
}

void PTTAppState::setBrevantApiKey(const QString& key) {
    if (key != m_brevantApiKey) {
        m_brevantApiKey = key;
        emit brevantApiKeyChanged();
    }
}

void PTTAppState::setLastEvent(PTTEvent event) {
    m_lastEvent = std::move(event);
    emit lastEventChanged();
}

void PTTAppState::setProcessing(bool processing) {
    if (processing != m_isProcessing) {
        m_isProcessing = processing;
        emit isProcessingChanged();
    }
}

void PTTAppState::setServerReachable(bool reachable) {
    if (reachable != m_serverReachable) {
        m_serverReachable = reachable;
        emit serverReachableChanged();
    }
}

void PTTAppState::setSetupStatus(const SetupStatus& status) {
    if (status != m_setupStatus) {
        m_setupStatus = status;
        emit setupStatusChanged();
    }
}

void PTTAppState::setHasCompletedSetup(bool completed) {
    if (completed != m_hasCompletedSetup) {
        m_hasCompletedSetup = completed;
        emit hasCompletedSetupChanged();
    }
}

void PTTAppState::setSetupWizardOpen(bool open) {
    if (open != m_isSetupWizardOpen) {
        m_isSetupWizardOpen = open;
        emit isSetupWizardOpenChanged();
    }
}

void PTTAppState::setStatistics(const PTTStatsSummary& summary, const std::optional<TodayStats>& today) {
    if (summary != m_statsSummary) {
        m_statsSummary = summary;
        emit statsSummaryChanged();
    }
    if (today && *today != m_todayStats) {
        m_todayStats = *today;
        emit todayStatsChanged();
    }
}

QVariantMap PTTAppState::settingsMap() const {
    return VariantRecords::fromSettings(m_settings);
}

QVariantMap PTTAppState::lastEventMap() const {
    return VariantRecords::fromEvent(m_lastEvent);
}

QVariantMap PTTAppState::setupStatusMap() const {
    return VariantRecords::fromSetupStatus(m_setupStatus);
}

QVariantList PTTAppState::snippetList() const {
    return VariantRecords::fromSnippets(m_snippets);
}

QVariantList PTTAppState::dictionaryEntryList() const {
    return VariantRecords::fromDictionaryEntries(m_dictionaryEntries);
}

QVariantMap PTTAppState::statsSummaryMap() const {
    return VariantRecords::fromStatsSummary(m_statsSummary);
}

QVariantMap PTTAppState::todayStatsMap() const {
    return VariantRecords::fromTodayStats(m_todayStats);
}
