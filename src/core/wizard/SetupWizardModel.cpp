#include "core/wizard/SetupWizardModel.h"

#include "core/audio/IAudioCaptureService.h"
#include "core/backend/LocalServiceStarter.h"
#include "core/dictation/PTTAppState.h"
#include "core/hotkey/HotkeyFormatter.h"
#include "core/hotkey/KeyCodes.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace {

const QString notEnabledYet = QStringLiteral("Not enabled yet");
const QString checking = QStringLiteral("Checking…");

// "the X server has no XTest extension" → "The X server has no XTest extension."
QString sentence(const QString& text) {
    QString result = text.trimmed();
    if (result.isEmpty()) {
        return result;
    }
    result[0] = result[0].toUpper();
    if (!result.endsWith(QLatin1Char('.'))) {
        result += QLatin1Char('.');
    }
    return result;
}

} // namespace

SetupWizardModel::SetupWizardModel(Ports ports, QObject* parent)
    : QObject(parent)
    , m_ports(std::move(ports))
    , m_presets(m_ports.functionKeyName)
    , m_savedHotkey(m_ports.controller.settings().hotkey) {
    PTTAppState& controller = m_ports.controller;
    connect(&controller, &PTTAppState::settingsChanged, this, &SetupWizardModel::followHotkey);
    connect(&controller, &PTTAppState::setupStatusChanged, this, &SetupWizardModel::changed);
    connect(&controller, &PTTAppState::isHotkeyMonitorRunningChanged, this, &SetupWizardModel::changed);
    m_presets.setSelectedKeyCode(m_savedHotkey.keyCode);
    checkAccessibility();
    checkMicrophone();
}

SetupWizardModel::~SetupWizardModel() {
    if (m_isTestingMicrophone) {
        m_ports.scheduler.cancel(m_testTimer);
        m_ports.capture.setOnAudioLevel({});
        m_ports.capture.cancelCapture();
    }
}

QString SetupWizardModel::counterText() const {
    return QStringLiteral("%1 of %2").arg(m_step).arg(totalStepCount);
}

QString SetupWizardModel::headline() const {
    switch (m_step) {
    case 1:
        return QStringLiteral("Keyboard access");
    case 2:
        return QStringLiteral("Microphone");
    case 3:
        return QStringLiteral("Shortcut");
    case 4:
        return QStringLiteral("Test dictation");
    default:
        return {};
    }
}

QString SetupWizardModel::body() const {
    switch (m_step) {
    case 1:
        return QStringLiteral("Lets Orlavo hear your shortcut and insert text where you type.");
    case 2:
        return QStringLiteral("Starts recording the moment you press your shortcut.");
    case 3:
        return QStringLiteral("Pick a shortcut you'll use throughout the day.");
    case 4:
        return QStringLiteral("Make sure everything works before you go.");
    default:
        return {};
    }
}

bool SetupWizardModel::canContinue() const {
    switch (m_step) {
    case 1:
        return accessibilityGranted();
    case 2:
        return microphoneGranted();
    case 3:
        return true;
    case 4:
        return testReady();
    default:
        return false;
    }
}

QString SetupWizardModel::accessibilityStatusText() const {
    if (accessibilityGranted()) {
        return QStringLiteral("Keyboard access enabled");
    }
    return m_keyboardChecked ? notEnabledYet : checking;
}

QString SetupWizardModel::accessibilityHint() const {
    if (!m_keyboardChecked || !m_keyboardProblem) {
        return {};
    }
    return keyboardHint(*m_keyboardProblem, m_ports.probes.keyboardRecheckable);
}

QString SetupWizardModel::keyboardHint(const QString& problem, bool recheckable) {
    // A reason that already ends in advice ("… Log in to an X11 session to dictate.") is shown alone.
    if (problem.trimmed().endsWith(QLatin1Char('.'))) {
        return problem.trimmed();
    }
    return sentence(problem) +
           (recheckable ? QStringLiteral(" Start Orlavo in an X11 session, then click Check again.")
                        : QStringLiteral(" Quit Orlavo and start it again in an X11 session."));
}

QString SetupWizardModel::microphoneStatusText() const {
    if (microphoneGranted()) {
        return QStringLiteral("Microphone access granted");
    }
    return m_microphoneChecked ? notEnabledYet : checking;
}

QString SetupWizardModel::microphoneHint() const {
    if (!m_microphoneChecked || !m_microphoneProblem) {
        return {};
    }
    return microphoneHintFor(*m_microphoneProblem);
}

QString SetupWizardModel::microphoneHintFor(const QString& problem) {
    return sentence(problem) +
           QStringLiteral(" Choose an input in your desktop's sound settings, then click Check again.");
}

QString SetupWizardModel::hotkeyTextFor(const HotkeyBinding& binding, const QString& functionKeyName) {
    QString shown = HotkeyFormatter::display(binding);
    const QString fn = QStringLiteral("Fn");
    if (binding.keyCode == KeyCodes::function && !functionKeyName.isEmpty() && shown.endsWith(fn)) {
        shown.chop(fn.size());
        shown += functionKeyName;
    }
    return shown;
}

QString SetupWizardModel::hotkeyText() const {
    return hotkeyTextFor(m_ports.controller.settings().hotkey, m_ports.functionKeyName);
}

qint64 SetupWizardModel::hotkeyKeyCode() const {
    return m_ports.controller.settings().hotkey.keyCode;
}

qint64 SetupWizardModel::hotkeyModifiers() const {
    return static_cast<qint64>(m_ports.controller.settings().hotkey.modifiersRawValue);
}

bool SetupWizardModel::testReady() const {
    return m_ports.controller.setupStatus().backendReachable && m_ports.controller.isHotkeyMonitorRunning();
}

QString SetupWizardModel::testStatusText() const {
    if (testReady()) {
        return QStringLiteral("Connected and listening");
    }
    return m_isPreparingTest ? QStringLiteral("Connecting…") : QStringLiteral("Not connected");
}

QString SetupWizardModel::serverErrorText() const {
    const auto& error = m_ports.controller.setupStatus().lastBackendError;
    if (testReady() || !error) {
        return {};
    }
    return QStringLiteral("Server error: ") + *error;
}

QString SetupWizardModel::engineText() const {
    const auto& engine = m_ports.controller.setupStatus().backendEngine;
    return engine ? QStringLiteral("Transcribed by: ") + *engine : QString();
}

QStringList SetupWizardModel::testInstructions() const {
    return {QStringLiteral("1. Open a text editor or any text field"),
            QStringLiteral("2. Hold ") + hotkeyText() + QStringLiteral(" and speak"),
            QStringLiteral("3. Release — your words appear as text")};
}

void SetupWizardModel::start() {
    if (m_step == 0) {
        setStep(1);
    }
}

void SetupWizardModel::back() {
    if (canGoBack()) {
        setStep(m_step - 1);
    }
}

void SetupWizardModel::advance() {
    // Return reaches here only through an enabled button; a stale call must not skip a step.
    if (m_step == 0 || !canContinue()) {
        return;
    }
    if (m_step < totalStepCount) {
        setStep(m_step + 1);
        return;
    }
    m_ports.controller.completeSetupWizard();
}

void SetupWizardModel::setStep(int step) {
    if (step == m_step) {
        return;
    }
    // A test second of the microphone belongs to its step.
    if (m_step == 2 && m_isTestingMicrophone) {
        m_ports.scheduler.cancel(m_testTimer);
        m_testTimer = Scheduler::invalidTimer;
        m_ports.capture.cancelCapture();
        endMicrophoneTest();
    }
    m_step = step;
    emit changed();
    enterStep();
}

void SetupWizardModel::enterStep() {
    switch (m_step) {
    case 1:
        checkAccessibility();
        break;
    case 2:
        checkMicrophone();
        break;
    case 4:
        if (!testReady()) {
            prepareTest();
        }
        break;
    default:
        break;
    }
}

void SetupWizardModel::runCheck(const SetupProbes::Check& check,
                                void (SetupWizardModel::*apply)(std::optional<QString>)) {
    if (!check) {
        (this->*apply)(QStringLiteral("this desktop cannot be checked"));
        return;
    }
    const QPointer<SetupWizardModel> self(this);
    QThreadPool::globalInstance()->start([check, self, apply] {
        std::optional<QString> answer = check();
        // Back on the main thread, where the model lives; it may be gone by then.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, apply, answer] {
                if (self) {
                    (self.data()->*apply)(answer);
                }
            },
            Qt::QueuedConnection);
    });
}

void SetupWizardModel::checkAccessibility() {
    runCheck(m_ports.probes.keyboardProblem, &SetupWizardModel::applyKeyboardAnswer);
}

void SetupWizardModel::checkMicrophone() {
    runCheck(m_ports.probes.microphoneProblem, &SetupWizardModel::applyMicrophoneAnswer);
}

void SetupWizardModel::applyKeyboardAnswer(std::optional<QString> problem) {
    m_keyboardChecked = true;
    m_keyboardProblem = std::move(problem);
    emit changed();
}

void SetupWizardModel::applyMicrophoneAnswer(std::optional<QString> problem) {
    // A test that opened the input answers better than a check that raced it.
    if (m_isTestingMicrophone) {
        return;
    }
    m_microphoneChecked = true;
    m_microphoneProblem = std::move(problem);
    emit changed();
}

void SetupWizardModel::testMicrophone() {
    runMicrophoneTest();
}

QCoro::Task<> SetupWizardModel::runMicrophoneTest() {
    IAudioCaptureService& capture = m_ports.capture;
    if (m_isTestingMicrophone) {
        co_return;
    }
    if (capture.state() != IAudioCaptureService::State::idle) {
        m_microphoneTestHint = QStringLiteral("The microphone is recording a dictation: try again after it.");
        emit changed();
        co_return;
    }
    m_isTestingMicrophone = true;
    m_loudestLevel = 0;
    m_microphoneTestHint.clear();
    setMicrophoneLevel(0);
    emit changed();

    const QPointer<SetupWizardModel> self(this);
    capture.setOnAudioLevel([self](float level) {
        if (self) {
            self->setMicrophoneLevel(level);
        }
    });
    const auto started = co_await capture.startCapture();
    if (!self || !m_isTestingMicrophone) {
        co_return;
    }
    m_microphoneChecked = true;
    if (!started) {
        m_microphoneProblem = started.error().description;
        endMicrophoneTest();
        co_return;
    }
    m_microphoneProblem.reset();
    emit changed();
    m_testTimer = m_ports.scheduler.after(microphoneTestSeconds, [this] {
        m_testTimer = Scheduler::invalidTimer;
        finishMicrophoneTest();
    });
}

void SetupWizardModel::finishMicrophoneTest() {
    const auto recording = m_ports.capture.stopCapture();
    if (!recording) {
        // The input stopped by itself during the second (device unplugged, server gone).
        m_microphoneProblem = recording.error().description;
    } else if (m_loudestLevel < silentLevel) {
        m_microphoneTestHint =
            QStringLiteral("Nothing was heard: the microphone seems muted or is the wrong device.");
    }
    endMicrophoneTest();
}

void SetupWizardModel::endMicrophoneTest() {
    m_ports.capture.setOnAudioLevel({});
    m_isTestingMicrophone = false;
    setMicrophoneLevel(0);
    emit changed();
}

void SetupWizardModel::setMicrophoneLevel(double level) {
    m_loudestLevel = std::max(m_loudestLevel, level);
    if (level != m_microphoneLevel) {
        m_microphoneLevel = level;
        emit microphoneLevelChanged();
    }
}

void SetupWizardModel::choosePreset(qint64 keyCode) {
    setHotkey(keyCode, 0);
}

void SetupWizardModel::setHotkey(qint64 keyCode, qint64 modifiers) {
    PTTSettings settings = m_ports.controller.settings();
    settings.hotkey.keyCode = keyCode;
    settings.hotkey.modifiersRawValue = static_cast<quint64>(modifiers);
    m_ports.controller.setSettings(settings);
}

void SetupWizardModel::prepareTest() {
    if (!m_isPreparingTest) {
        runTestPreparation();
    }
}

QCoro::Task<> SetupWizardModel::runTestPreparation() {
    m_isPreparingTest = true;
    emit changed();
    const QPointer<SetupWizardModel> self(this);
    // Its answer is read again below, through the controller, which publishes it.
    const auto running = co_await m_ports.serviceStarter.ensureRunning();
    Q_UNUSED(running)
    if (!self) {
        co_return;
    }
    co_await m_ports.controller.checkBackendHealth();
    if (!self) {
        co_return;
    }
    if (!m_ports.controller.isHotkeyMonitorRunning()) {
        m_ports.controller.startHotkeyMonitor();
    }
    m_isPreparingTest = false;
    emit changed();
}

void SetupWizardModel::followHotkey() {
    const HotkeyBinding& hotkey = m_ports.controller.settings().hotkey;
    m_presets.setSelectedKeyCode(hotkey.keyCode);
    // A running monitor keeps the binding it started with until it is saved and restarted.
    if (hotkey != m_savedHotkey) {
        m_savedHotkey = hotkey;
        m_ports.controller.persistSettings();
    }
    emit changed();
}
