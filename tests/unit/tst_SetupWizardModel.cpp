// The setup wizard's decisions over the controller with every service faked, in virtual time:
// which step Continue stops at and why, the microphone test, and the shortcut presets and the
// monitor they rebind.
#include "DictationRig.h"
#include "core/backend/LocalServiceStarter.h"
#include "core/hotkey/KeyCodes.h"
#include "core/net/NetworkError.h"
#include "core/wizard/SetupWizardModel.h"

#include <QTest>

namespace {

using Problem = std::optional<QString>;

const PTTError refused = NetworkError::make(NetworkError::Code::cannotConnectToHost);

struct WizardRig {
    explicit WizardRig(Problem keyboard = std::nullopt, Problem microphone = std::nullopt) {
        rig.start();
        model = std::make_unique<SetupWizardModel>(SetupWizardModel::Ports{
            rig.controller(), rig.capture, starter, rig.scheduler,
            SetupProbes{[keyboard] { return keyboard; }, [microphone] { return microphone; }, true},
            QStringLiteral("Right Ctrl")});
    }
    // The desktop checks answer from the thread pool.
    bool checked() {
        return QTest::qWaitFor([this] {
            return model->accessibilityStatusText() != QStringLiteral("Checking…") &&
                   model->microphoneStatusText() != QStringLiteral("Checking…");
        });
    }
    // Continue for as long as it is enabled; the step it stopped at (5: finished).
    int continueWhilePossible() {
        model->start();
        for (int guard = 0; guard < 6; ++guard) {
            rig.scheduler.advance(1);
            if (!checked()) {
                return -1;
            }
            if (!model->canContinue()) {
                return model->step();
            }
            if (model->step() == SetupWizardModel::totalStepCount) {
                model->advance();
                rig.scheduler.advance(1);
                return 5;
            }
            model->advance();
        }
        return -1;
    }

    DictationRig rig;
    LocalServiceStarter starter{rig.backend,
                                rig.processLauncher,
                                rig.scheduler,
                                [] { return PTTSettings::defaultBackendBaseURL; },
                                {}};
    std::unique_ptr<SetupWizardModel> model;
};

} // namespace

class tst_SetupWizardModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void continueStopsWhereAConditionFails_data();
    void continueStopsWhereAConditionFails();
    void theMicrophoneTestHearsOneSecond_data();
    void theMicrophoneTestHearsOneSecond();
    void aChosenShortcutIsSavedAndHeard_data();
    void aChosenShortcutIsSavedAndHeard();
};

void tst_SetupWizardModel::continueStopsWhereAConditionFails_data() {
    QTest::addColumn<Problem>("keyboard");
    QTest::addColumn<Problem>("microphone");
    QTest::addColumn<bool>("serviceAnswers");
    QTest::addColumn<bool>("monitorStarts");
    QTest::addColumn<int>("stopsAt");
    QTest::addColumn<QString>("shown"); // the hint or server error of that step

    const Problem none;
    QTest::newRow("everything ready finishes") << none << none << true << true << 5 << QString();
    QTest::newRow("no XTest") << Problem(QStringLiteral("the X server has no XTest extension")) << none
                              << true << true << 1
                              << QStringLiteral("The X server has no XTest extension. Start Orlavo in an X11 "
                                                "session, then click Check again.");
    QTest::newRow("no microphone") << none << Problem(QStringLiteral("No microphone: no input device"))
                                   << true << true << 2
                                   << QStringLiteral(
                                          "No microphone: no input device. Choose an input in your "
                                          "desktop's sound settings, then click Check again.");
    QTest::newRow("service down") << none << none << false << true << 4
                                  << QStringLiteral("Server error: Could not connect to the server.");
    QTest::newRow("monitor refuses") << none << none << true << false << 4 << QString();
}

void tst_SetupWizardModel::continueStopsWhereAConditionFails() {
    QFETCH(Problem, keyboard);
    QFETCH(Problem, microphone);
    QFETCH(bool, serviceAnswers);
    QFETCH(bool, monitorStarts);
    QFETCH(int, stopsAt);
    QFETCH(QString, shown);

    WizardRig wizard(keyboard, microphone);
    if (!serviceAnswers) {
        wizard.rig.backend.healthAnswer = refused;
    }
    wizard.rig.monitor.refusesToStart = !monitorStarts;
    SetupWizardModel& model = *wizard.model;
    QVERIFY(!model.canContinue()); // the welcome screen has Start instead

    QCOMPARE(wizard.continueWhilePossible(), stopsAt);
    QCOMPARE(wizard.rig.controller().hasCompletedSetup(), stopsAt == 5);
    QCOMPARE(wizard.rig.settingsStore.isSetupCompleted(), stopsAt == 5);
    if (stopsAt == 5) {
        QVERIFY(wizard.rig.monitor.isRunning());
        QCOMPARE(model.engineText(), QStringLiteral("Transcribed by: Offline recogniser on this computer"));
        return;
    }
    QVERIFY(stopsAt != 4 || model.engineText().isEmpty() == !serviceAnswers);
    const QString hint = stopsAt == 1   ? model.accessibilityHint()
                         : stopsAt == 2 ? model.microphoneHint()
                                        : model.serverErrorText();
    QCOMPARE(hint, shown);
    QCOMPARE(model.canGoBack(), stopsAt >= 2);
    // A Continue that is not enabled does nothing, whoever calls it.
    model.advance();
    QCOMPARE(model.step(), stopsAt);
}

void tst_SetupWizardModel::theMicrophoneTestHearsOneSecond_data() {
    QTest::addColumn<QList<float>>("levels");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("granted");
    QTest::addColumn<QString>("hint");

    const QString silent =
        QStringLiteral("Nothing was heard: the microphone seems muted or is the wrong device.");
    QTest::newRow("a voice") << QList<float>{0.0f, 0.4f, 0.1f} << true << true << QString();
    QTest::newRow("digital silence") << QList<float>{0.0f, 0.0f} << true << true << silent;
    QTest::newRow("no buffers at all") << QList<float>{} << true << true << silent;
    QTest::newRow("the input cannot open") << QList<float>{} << false << false << QString();
}

void tst_SetupWizardModel::theMicrophoneTestHearsOneSecond() {
    QFETCH(QList<float>, levels);
    QFETCH(bool, opens);
    QFETCH(bool, granted);
    QFETCH(QString, hint);

    WizardRig wizard;
    if (!opens) {
        wizard.rig.capture.startError = PTTError{ErrorDomain::audio, 1, QStringLiteral("No input device")};
    }
    SetupWizardModel& model = *wizard.model;
    QVERIFY(wizard.checked());
    model.testMicrophone();
    wizard.rig.scheduler.runDue();
    QCOMPARE(model.isTestingMicrophone(), opens);
    for (const float level : levels) {
        wizard.rig.capture.sendLevel(level);
        wizard.rig.scheduler.advance(0.2);
    }
    wizard.rig.scheduler.advance(1);
    QVERIFY(!model.isTestingMicrophone());
    QCOMPARE(model.microphoneGranted(), granted);
    QCOMPARE(model.microphoneTestHint(), hint);
    QCOMPARE(model.microphoneLevel(), 0.0);
    QCOMPARE(wizard.rig.capture.state(), IAudioCaptureService::State::idle);
    QVERIFY(!wizard.rig.capture.hasLevelHandler());
}

void tst_SetupWizardModel::aChosenShortcutIsSavedAndHeard_data() {
    QTest::addColumn<qint64>("keyCode");
    QTest::addColumn<bool>("monitorRunning");
    QTest::addColumn<QString>("instruction");

    QTest::newRow("Caps Lock while the monitor runs")
        << qint64(57) << true << QStringLiteral("2. Hold Caps Lock and speak");
    QTest::newRow("F5 before the test step") << qint64(96) << false << QStringLiteral("2. Hold F5 and speak");
    QTest::newRow("fn names its stand-in")
        << qint64(63) << true << QStringLiteral("2. Hold Right Ctrl and speak");
}

void tst_SetupWizardModel::aChosenShortcutIsSavedAndHeard() {
    QFETCH(qint64, keyCode);
    QFETCH(bool, monitorRunning);
    QFETCH(QString, instruction);

    WizardRig wizard;
    PTTAppState& controller = wizard.rig.controller();
    PTTSettings settings = controller.settings();
    settings.hotkey = HotkeyBinding{49, ModifierFlags::control, GestureMode::toggle};
    controller.setSettings(settings);
    if (monitorRunning) {
        controller.startHotkeyMonitor();
    }
    const int startsBefore = wizard.rig.monitor.startCount;

    wizard.model->choosePreset(keyCode);
    const HotkeyBinding expected{keyCode, 0, GestureMode::toggle};
    QCOMPARE(controller.settings().hotkey, expected);
    QCOMPARE(wizard.rig.settingsStore.load().hotkey, expected);
    QCOMPARE(wizard.rig.monitor.binding(), expected);
    QCOMPARE(wizard.rig.monitor.isRunning(), monitorRunning);
    QCOMPARE(wizard.rig.monitor.startCount, startsBefore + (monitorRunning ? 1 : 0));
    if (monitorRunning) {
        QCOMPARE(*wizard.rig.monitor.startedBinding, expected);
    }
    QCOMPARE(wizard.model->testInstructions().value(1), instruction);
    const auto* presets = wizard.model->presets();
    int selected = 0;
    for (int row = 0; row < presets->rowCount(); ++row) {
        const QModelIndex index = presets->index(row);
        if (presets->data(index, ShortcutPresetModel::selectedRole).toBool()) {
            ++selected;
            QCOMPARE(presets->data(index, ShortcutPresetModel::keyCodeRole).toLongLong(), keyCode);
        }
    }
    QCOMPARE(selected, 1);
}

QTEST_GUILESS_MAIN(tst_SetupWizardModel)
#include "tst_SetupWizardModel.moc"
