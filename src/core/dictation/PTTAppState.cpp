#include "PTTAppState.h"

#include "EditPasses.h"
#include "ErrorMessages.h"
#include "VariantRecords.h"
#include "audio/IAudioCaptureService.h"
#include "backend/BackendUrl.h"
#include "backend/IBackendClient.h"
#include "common/ErrorDomain.h"
#include "context/IAppContextService.h"
#include "hotkey/IHotkeyMonitor.h"
#include "hotkey/KeyCodes.h"
#include "notes/INotesService.h"
#include "overlay/IOverlayController.h"
#include "paste/IPasteService.h"
#include "paste/IPermissionService.h"
#include "ports/FrontApplication.h"
#include "ports/Scheduler.h"
#include "ports/SoundPlayer.h"
#include "settings/KeychainService.h"
#include "settings/SettingsStore.h"
#include "storage/LocalDatabase.h"
#include "text/ITextProcessingService.h"
#include "text/TextMetrics.h"

#include <QPointer>

namespace {

constexpr qint64 minimumRecordingMs = 200;
constexpr double voiceActivityThreshold = 300.0;
constexpr double backtrackSelectPause = 0.1;
constexpr double autoSendPause = 0.05;

PTTError pipelineError(int code, const char* description) {
    return PTTError{ErrorDomain::pipeline, code, QString::fromUtf8(description)};
}

} // namespace

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
        status.accessibilityGranted = m_services.permissions.isAccessibilityGranted();
        status.microphoneGranted = m_services.permissions.isMicrophoneGranted();
        setSetupStatus(status);
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

    auto selection = co_await m_services.paste.selectedText();
    if (!self || !isCurrent(generation)) {
        co_return;
    }
    m_commandModeSelection = std::move(selection);
    const auto started = co_await m_services.audioCapture.startCapture();
    if (!self || !isCurrent(generation)) {
        co_return;
    }
    m_isStarting = false;

    if (!started) {
        m_commandModeSelection.reset();
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
    if (m_commandModeSelection) {
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

    const quint64 generation = m_generation;
    setProcessing(true);
    m_services.overlay.update(QStringLiteral("Transcribing\u2026"), OverlayState::transcribing);
    const std::optional<QString> sourceApp = frontApplicationName();
    const QString mode = m_settings.hotkey.gestureMode == GestureMode::toggle ? QStringLiteral("toggle")
                                                                              : QStringLiteral("push");
    setLastEvent(PTTEvent::make(PTTState::transcribing, std::nullopt, std::nullopt, std::nullopt, sourceApp));

    auto capture = m_services.audioCapture.stopCapture();
    const QPointer<PTTAppState> self(this);
    std::optional<Result<Delivery>> outcome;
    std::optional<qint64> durationMs;
    if (!capture) {
        outcome = capture.error();
    } else {
        durationMs = capture->durationMs;
        outcome = co_await runPipeline(generation, std::move(capture).value(), sourceApp, mode);
    }
    if (!self || !isCurrent(generation) || !outcome) {
        co_return;
    }

    if (outcome->ok()) {
        const Delivery& delivery = outcome->value();
        if (delivery.notesMessage) {
            m_services.overlay.update(QStringLiteral("Note saved"), OverlayState::done);
            m_services.overlay.hide(0.9);
            setLastEvent(PTTEvent::make(PTTState::idle, delivery.transcript, delivery.notesMessage,
                                        durationMs, sourceApp));
        } else {
            m_services.overlay.update(QStringLiteral("Done"), OverlayState::done);
            m_services.overlay.hide(0.6);
            setLastEvent(
                PTTEvent::make(PTTState::idle, delivery.transcript, std::nullopt, durationMs, sourceApp));
        }
        // The text arrived, but its statistics did not reach the disk: said, not swallowed.
        if (const auto unsaved = m_services.database.takeWriteError()) {
            setLastEvent(PTTEvent::make(PTTState::idle, delivery.transcript, unsaved->description, durationMs,
                                        sourceApp));
        }
    } else {
        const PTTError& error = outcome->error();
        m_services.overlay.update(contextualErrorMessage(error), OverlayState::error);
        m_services.overlay.hide(1.5);
        setLastEvent(
            PTTEvent::make(PTTState::idle, std::nullopt, error.description, std::nullopt, sourceApp));
    }
    endPipeline(generation);
}

QCoro::Task<std::optional<Result<PTTAppState::Delivery>>>
PTTAppState::runPipeline(quint64 generation, AudioCaptureResult capture, std::optional<QString> sourceApp,
                         QString mode) {
    using Outcome = std::optional<Result<Delivery>>;
    const QPointer<PTTAppState> self(this);
    const auto abandoned = [&self, this, generation] { return !self || !isCurrent(generation); };

    if (capture.durationMs < minimumRecordingMs) {
        co_return Outcome(pipelineError(10, "Recording too short"));
    }
    if (!m_services.audioCapture.hasVoiceActivity(capture.wavData, voiceActivityThreshold)) {
        co_return Outcome(pipelineError(11, "No speech detected"));
    }

    const auto response = co_await m_editPasses->transcribeWithRetry(capture.wavData);
    if (abandoned()) {
        co_return std::nullopt;
    }
    if (!response) {
        co_return Outcome(response.error());
    }
    QString text = response->text.value_or(QString()).trimmed();
    if (text.isEmpty()) {
        co_return Outcome(pipelineError(12, "No speech detected"));
    }
    const std::optional<QString> language = response->language;

    if (m_commandModeSelection && !m_commandModeSelection->isEmpty()) {
        m_services.overlay.update(QStringLiteral("Editing\u2026"), OverlayState::transcribing);
        const auto result =
            co_await m_editPasses->executeSelectionCommand(text, *m_commandModeSelection, sourceApp);
        if (abandoned()) {
            co_return std::nullopt;
        }
        if (!result) {
            co_return Outcome(result.error());
        }
        const auto pasted = co_await m_services.paste.insertViaClipboard(result.value());
        if (abandoned()) {
            co_return std::nullopt;
        }
        if (!pasted) {
            co_return Outcome(pasted.error());
        }
        recordLastPaste(result.value(), sourceApp);
        writeStatistics(result.value(), capture.durationMs, language, mode, false);
        co_return Outcome(Delivery{result.value(), std::nullopt});
    }

    if (const auto body = m_services.textProcessing.matchSnippet(text)) {
        const auto pasted = co_await m_services.paste.insertViaClipboard(*body);
        if (abandoned()) {
            co_return std::nullopt;
        }
        if (!pasted) {
            co_return Outcome(pasted.error());
        }
        co_return Outcome(Delivery{*body, std::nullopt});
    }

    text = m_services.textProcessing.applyDictionary(text);
    text = m_services.textProcessing.removeFillers(text);
    text = m_services.textProcessing.applyPunctuationCommands(text);

    // In notes mode nothing was pasted that could be replaced; the front application holds
    // the user's own text.
    if (!m_settings.noteMode) {
        const auto replacement = co_await m_editPasses->maybeApplyBacktrack(text, sourceApp);
        if (abandoned()) {
            co_return std::nullopt;
        }
        const qint64 previousLength = m_editPasses->lastPaste() ? m_editPasses->lastPaste()->length : 0;
        // Without the previous paste selected, pasting its rewrite would repeat the earlier text;
        // the dictation then goes on as dictated.
        if (replacement && m_services.paste.selectPreviousText(static_cast<int>(previousLength))) {
            co_await m_services.scheduler.sleep(backtrackSelectPause);
            if (abandoned()) {
                co_return std::nullopt;
            }
            const auto pasted = co_await m_services.paste.insertViaClipboard(*replacement);
            if (abandoned()) {
                co_return std::nullopt;
            }
            if (!pasted) {
                co_return Outcome(pasted.error());
            }
            recordLastPaste(*replacement, sourceApp);
            writeStatistics(*replacement, capture.durationMs, language, mode, true);
            co_return Outcome(Delivery{*replacement, std::nullopt});
        }
    }

    text = co_await m_editPasses->maybeAutoEdit(text, sourceApp);
    if (abandoned()) {
        co_return std::nullopt;
    }
    text = co_await m_editPasses->maybeApplyPromptPruning(text, sourceApp);
    if (abandoned()) {
        co_return std::nullopt;
    }
    const QString formatted = m_services.appContext.applyContextFormatting(text, sourceApp);

    if (m_settings.noteMode) {
        const auto saved = m_services.notes.saveNote(formatted, m_settings.notesPathBookmark);
        if (!saved) {
            co_return Outcome(saved.error());
        }
        writeStatistics(formatted, capture.durationMs, language, mode, false);
        const QString message = QStringLiteral("Saved to %1 (%2 notes)")
                                    .arg(saved->url.fileName(), QString::number(saved->totalNotes));
        co_return Outcome(Delivery{formatted, message});
    }

    const auto pasted = co_await m_services.paste.insertViaClipboard(formatted);
    if (abandoned()) {
        co_return std::nullopt;
    }
    if (!pasted) {
        co_return Outcome(pasted.error());
    }
    m_services.sounds.play(QStringLiteral("Tink"));
    if (m_settings.autoSend && m_services.appContext.appType(sourceApp) == AppContextType::chat) {
        co_await m_services.scheduler.sleep(autoSendPause);
        if (abandoned()) {
            co_return std::nullopt;
        }
        // Return goes only to the chat the dictation was made for: after a switch to another
        // application it would send or run whatever is typed there.
        if (frontApplicationName() == sourceApp) {
            (void)m_services.paste.sendKeystroke(KeyCodes::returnKey, 0);
        }
    }
    recordLastPaste(formatted, sourceApp);
    writeStatistics(formatted, capture.durationMs, language, mode, false);
    setStatistics(m_services.database.fetchStatsSummary(), m_services.database.fetchTodayStats());
    co_return Outcome(Delivery{formatted, std::nullopt});
}

void PTTAppState::endPipeline(quint64 generation) {
    if (!isCurrent(generation)) {
        return;
    }
    setProcessing(false);
    m_commandModeSelection.reset();
}

void PTTAppState::writeStatistics(const QString& text, qint64 durationMs,
                                  const std::optional<QString>& language, const QString& mode,
                                  bool backtrack) {
    m_services.database.insertStats(StatsRecord{TextMetrics::wordCount(text),
                                                TextMetrics::characterCount(text), durationMs, language, mode,
                                                backtrack});
}

QString PTTAppState::contextualErrorMessage(const PTTError& error) {
    const ContextualErrorMessage message = ErrorMessages::contextualErrorMessage(error);
    if (message.serverUnreachable) {
        setServerReachable(false);
    }
    return message.message;
}

void PTTAppState::recordLastPaste(const QString& text, const std::optional<QString>& appName) {
    m_editPasses->recordLastPaste(text, appName);
}

void PTTAppState::preWarmConnection() {
    if (const auto url = BackendUrl::join(m_settings.backendBaseURL, BackendUrl::healthPath)) {
        m_services.backend.warmUp(*url);
    }
}

std::optional<QString> PTTAppState::frontApplicationName() const {
    const auto front = m_services.frontApplication.current();
    if (!front || front->displayName.isEmpty()) {
        return std::nullopt;
    }
    return front->displayName;
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
