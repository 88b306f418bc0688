#pragma once

#include "core/model/HotkeyBinding.h"
#include "core/ports/Scheduler.h"
#include "core/wizard/SetupProbes.h"
#include "core/wizard/ShortcutPresetModel.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class IAudioCaptureService;
class LocalServiceStarter;
class PTTAppState;

// What the first-run setup wizard shows and what its controls do: the welcome screen, then four
// steps (keyboard access, microphone, shortcut, a test dictation), each continued only when its
// condition holds, and finally the controller's completeSetupWizard().
//
// The desktop checks run off the main thread (they can block); the microphone test records one
// second through the capture service; the test step makes sure the local service runs and starts
// the hotkey monitor. A hotkey chosen here is saved at once, so that a running monitor listens for
// it. Main thread only.
class SetupWizardModel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupWizardModel)

    Q_PROPERTY(int step READ step NOTIFY changed)
    Q_PROPERTY(int totalSteps READ totalSteps CONSTANT)
    Q_PROPERTY(QString counterText READ counterText NOTIFY changed)
    Q_PROPERTY(QString headline READ headline NOTIFY changed)
    Q_PROPERTY(QString body READ body NOTIFY changed)
    Q_PROPERTY(bool canContinue READ canContinue NOTIFY changed)
    Q_PROPERTY(bool canGoBack READ canGoBack NOTIFY changed)

    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY changed)
    Q_PROPERTY(QString accessibilityStatusText READ accessibilityStatusText NOTIFY changed)
    Q_PROPERTY(QString accessibilityHint READ accessibilityHint NOTIFY changed)
    Q_PROPERTY(bool canCheckAccessibilityAgain READ canCheckAccessibilityAgain NOTIFY changed)

    Q_PROPERTY(bool microphoneGranted READ microphoneGranted NOTIFY changed)
    Q_PROPERTY(QString microphoneStatusText READ microphoneStatusText NOTIFY changed)
    Q_PROPERTY(QString microphoneHint READ microphoneHint NOTIFY changed)
    Q_PROPERTY(bool isTestingMicrophone READ isTestingMicrophone NOTIFY changed)
    Q_PROPERTY(double microphoneLevel READ microphoneLevel NOTIFY microphoneLevelChanged)
    Q_PROPERTY(QString microphoneTestHint READ microphoneTestHint NOTIFY changed)

    Q_PROPERTY(QAbstractItemModel* presets READ presets CONSTANT)
    Q_PROPERTY(QString hotkeyText READ hotkeyText NOTIFY changed)
    Q_PROPERTY(qint64 hotkeyKeyCode READ hotkeyKeyCode NOTIFY changed)
    Q_PROPERTY(qint64 hotkeyModifiers READ hotkeyModifiers NOTIFY changed)

    Q_PROPERTY(bool testReady READ testReady NOTIFY changed)
    Q_PROPERTY(bool isPreparingTest READ isPreparingTest NOTIFY changed)
    Q_PROPERTY(QString testStatusText READ testStatusText NOTIFY changed)
    Q_PROPERTY(QString serverErrorText READ serverErrorText NOTIFY changed)
    Q_PROPERTY(QString engineText READ engineText NOTIFY changed)
    Q_PROPERTY(QStringList testInstructions READ testInstructions NOTIFY changed)

public:
    static constexpr int totalStepCount = 4;
    // One second of sound, as the test promises.
    static constexpr double microphoneTestSeconds = 1.0;
    // A level below this for the whole test second is a muted or wrong input: a real microphone
    // in a quiet room still hears its own noise (about −60 dBFS and up).
    static constexpr double silentLevel = 0.005;

    struct Ports {
        PTTAppState& controller;
        IAudioCaptureService& capture;
        LocalServiceStarter& serviceStarter;
        Scheduler& scheduler;
        SetupProbes probes;
        // The key that stands in for fn on this desktop ("Right Ctrl" on X11), empty where fn is
        // a key of its own.
        QString functionKeyName;
    };

    // Checks the desktop at once, as the window opens.
    explicit SetupWizardModel(Ports ports, QObject* parent = nullptr);
    ~SetupWizardModel() override;

    int step() const { return m_step; }
    int totalSteps() const { return totalStepCount; }
    QString counterText() const;
    QString headline() const;
    QString body() const;
    bool canContinue() const;
    bool canGoBack() const { return m_step >= 2; }

    bool accessibilityGranted() const { return m_keyboardChecked && !m_keyboardProblem; }
    QString accessibilityStatusText() const;
    QString accessibilityHint() const;
    bool canCheckAccessibilityAgain() const { return m_ports.probes.keyboardRecheckable; }

    bool microphoneGranted() const { return m_microphoneChecked && !m_microphoneProblem; }
    QString microphoneStatusText() const;
    QString microphoneHint() const;
    bool isTestingMicrophone() const { return m_isTestingMicrophone; }
    double microphoneLevel() const { return m_microphoneLevel; }
    QString microphoneTestHint() const { return m_microphoneTestHint; }

    ShortcutPresetModel* presets() { return &m_presets; }
    QString hotkeyText() const;
    qint64 hotkeyKeyCode() const;
    qint64 hotkeyModifiers() const;

    bool testReady() const;
    bool isPreparingTest() const { return m_isPreparingTest; }
    QString testStatusText() const;
    QString serverErrorText() const;
    // Which recogniser will answer the test, once the service answered.
    QString engineText() const;
    QStringList testInstructions() const;

    // The welcome screen's Start, the footer's Back and Continue (the last step's finishes).
    Q_INVOKABLE void start();
    Q_INVOKABLE void back();
    Q_INVOKABLE void advance();

    Q_INVOKABLE void checkAccessibility();
    Q_INVOKABLE void checkMicrophone();
    // Records one second and shows its level; says so when nothing was heard.
    Q_INVOKABLE void testMicrophone();
    // A preset's key with no modifiers; the gesture stays as it was.
    Q_INVOKABLE void choosePreset(qint64 keyCode);
    // What the custom shortcut recorder captured; the gesture stays as it was.
    Q_INVOKABLE void setHotkey(qint64 keyCode, qint64 modifiers);
    // Makes sure the service answers and the hotkey monitor runs. Also run as the test step opens.
    Q_INVOKABLE void prepareTest();

    // The hotkey as the user is told to press it.
    static QString hotkeyTextFor(const HotkeyBinding& binding, const QString& functionKeyName);
    // One line: why it is not granted, and what to do.
    static QString keyboardHint(const QString& problem, bool recheckable);
    static QString microphoneHintFor(const QString& problem);

Q_SIGNALS:
    void changed();
    void microphoneLevelChanged();

private:
    void setStep(int step);
    void enterStep();
    void runCheck(const SetupProbes::Check& check, void (SetupWizardModel::*apply)(std::optional<QString>));
    void applyKeyboardAnswer(std::optional<QString> problem);
    void applyMicrophoneAnswer(std::optional<QString> problem);
    QCoro::Task<> runMicrophoneTest();
    void finishMicrophoneTest();
    void endMicrophoneTest();
    QCoro::Task<> runTestPreparation();
    void followHotkey();
    void setMicrophoneLevel(double level);

    Ports m_ports;
    ShortcutPresetModel m_presets;
    int m_step = 0;

    bool m_keyboardChecked = false;
    std::optional<QString> m_keyboardProblem;
    bool m_microphoneChecked = false;
    std::optional<QString> m_microphoneProblem;

    bool m_isTestingMicrophone = false;
    double m_microphoneLevel = 0;
    double m_loudestLevel = 0;
    QString m_microphoneTestHint;
    Scheduler::TimerId m_testTimer = Scheduler::invalidTimer;

    bool m_isPreparingTest = false;
    HotkeyBinding m_savedHotkey;
};
