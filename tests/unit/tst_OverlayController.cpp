#include "FixedScreens.h"
#include "RecordingSoundPlayer.h"
#include "VirtualScheduler.h"
#include "core/overlay/OverlayController.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QRectF laptop(0, 0, 1920, 1080);

struct Rig {
    Rig()
        : controller(screens, sounds, scheduler) {
        screens.displays = {ScreenInfo{laptop, 0, 0, 0, true}};
        screens.pointer = QPointF(100, 100);
    }

    const OverlayModel& model() const { return controller.overlayModel(); }

    // The island and the panel at a glance: "state island|collapsed panel opacity|hidden text".
    QString look() const {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(model().stateName(),
                 model().isVisible() ? QStringLiteral("island") : QStringLiteral("collapsed"),
                 controller.panelVisible() ? QString::number(controller.panelOpacity())
                                           : QStringLiteral("hidden"),
                 model().text());
    }

    FixedScreens screens;
    RecordingSoundPlayer sounds;
    VirtualScheduler scheduler;
    OverlayController controller;
};

} // namespace

class tst_OverlayController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stateFromText_data();
    void stateFromText();
    void recordingTicker();
    void hideTimeline_data();
    void hideTimeline();
    void showCancelsPendingCollapse();
    void geometry_data();
    void geometry();
};

void tst_OverlayController::stateFromText_data() {
    QTest::addColumn<OverlayState>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<OverlayState>("after");
    QTest::addColumn<QStringList>("sounds");

    const auto transcribing = OverlayState::transcribing;
    const auto recording = OverlayState::recording;
    QTest::newRow("Cancelled") << transcribing << "Cancelled" << OverlayState::error << QStringList{"Basso"};
    QTest::newRow("Note saved") << transcribing << "Note saved" << OverlayState::done << QStringList{"Pop"};
    QTest::newRow("Try again anywhere")
        << transcribing << "Server error. Try again later" << OverlayState::error << QStringList{"Basso"};
    QTest::newRow("try again in lower case")
        << transcribing << "Server slow \u2014 try again" << transcribing << QStringList{};
    QTest::newRow("Mic denied") << recording << "Mic denied" << OverlayState::error << QStringList{"Basso"};
    QTest::newRow("Transcribing") << recording << "Transcribing\u2026" << transcribing << QStringList{};
    QTest::newRow("Editing") << recording << "EDITING" << transcribing << QStringList{};
    QTest::newRow("unknown text keeps the state, and its sound")
        << OverlayState::done << "Polishing\u2026" << OverlayState::done << QStringList{"Pop"};
}

void tst_OverlayController::stateFromText() {
    QFETCH(OverlayState, before);
    QFETCH(QString, text);
    QFETCH(OverlayState, after);
    QFETCH(QStringList, sounds);

    Rig rig;
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    rig.controller.update(QStringLiteral("setup"), before);
    rig.sounds.played.clear();
    rig.controller.update(text);
    QCOMPARE(rig.model().state(), after);
    QCOMPARE(rig.model().text(), text);
    QCOMPARE(rig.sounds.played, sounds);
}

void tst_OverlayController::recordingTicker() {
    Rig rig;
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    rig.scheduler.advance(0.35);
    QCOMPARE(rig.model().text(), QStringLiteral("Recording 0.3s"));
    QVERIFY(qFuzzyCompare(rig.model().elapsedSeconds(), 0.3));
    rig.controller.setAudioLevel(0.7f);

    // Still a recording state: the ticker runs on and overwrites the text at the next tick.
    rig.controller.update(QStringLiteral("Toggle recording"), OverlayState::recording);
    QCOMPARE(rig.model().audioLevel(), 0.7f);
    rig.scheduler.advance(3.1);
    QCOMPARE(rig.model().text(), QStringLiteral("Recording 3.4s"));

    // Leaving the recording states stops the ticker and the meter, and late levels are ignored.
    rig.controller.update(QStringLiteral("Transcribing\u2026"), OverlayState::transcribing);
    QCOMPARE(rig.model().audioLevel(), 0.0f);
    rig.controller.setAudioLevel(0.5f);
    rig.scheduler.advance(1);
    QCOMPARE(rig.model().text(), QStringLiteral("Transcribing\u2026"));
    QCOMPARE(rig.model().audioLevel(), 0.0f);
    QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));

    // A hide stops the count at once, before the island collapses.
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    rig.scheduler.advance(1.25);
    rig.controller.hide(0.6);
    rig.scheduler.advance(0.5);
    QCOMPARE(rig.look(), QStringLiteral("recording island 1 Recording 1.2s"));
}

void tst_OverlayController::hideTimeline_data() {
    QTest::addColumn<double>("delay");
    QTest::addColumn<double>("collapseAt");
    QTest::newRow("after 0.6 s") << 0.6 << 0.6;
    QTest::newRow("negative delay is at once") << -1.0 << 0.0;
}

void tst_OverlayController::hideTimeline() {
    QFETCH(double, delay);
    QFETCH(double, collapseAt);

    Rig rig;
    QSignalSpy raised(&rig.controller, &OverlayController::panelRaised);
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    QCOMPARE(raised.count(), 1);
    rig.controller.update(QStringLiteral("Done"), OverlayState::done);
    rig.controller.hide(delay);

    // The island shrinks first, the panel fades 0.6 s later and goes 0.15 s after that.
    QStringList seen;
    for (const double at :
         {collapseAt - 0.01, collapseAt, collapseAt + 0.59, collapseAt + 0.6, collapseAt + 0.75}) {
        rig.scheduler.advance(std::max(0.0, at - rig.scheduler.now()));
        seen << rig.look();
    }
    const QString first =
        collapseAt > 0 ? QStringLiteral("done island 1 Done") : QStringLiteral("done collapsed 1 Done");
    QCOMPARE(seen, (QStringList{first, "done collapsed 1 Done", "done collapsed 1 Done",
                                "done collapsed 0 Done", "idle collapsed hidden Done"}));
    QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
}

void tst_OverlayController::showCancelsPendingCollapse() {
    // The double tap's cancel hides the overlay, and the latched recording shows it again at once.
    Rig rig;
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    rig.controller.update(QStringLiteral("Cancelled"), OverlayState::error);
    rig.controller.hide(0.8);
    rig.scheduler.advance(0.1);
    rig.controller.show(QStringLiteral("Toggle recording"), OverlayState::recording);
    rig.scheduler.advance(5);
    QCOMPARE(rig.look(), QStringLiteral("recording island 1 Recording 5.0s"));

    // Shown again while the panel is fading, with the island reset before it starts to expand.
    rig.controller.hide(0);
    rig.scheduler.advance(0.65);
    QCOMPARE(rig.controller.panelOpacity(), 0.0);
    QStringList seen;
    connect(rig.controller.model(), &OverlayModel::isVisibleChanged, this,
            [&] { seen << rig.look() + QStringLiteral(" %1").arg(rig.model().elapsedSeconds()); });
    rig.controller.show(QStringLiteral("Command Mode"), OverlayState::commandMode);
    QCOMPARE(seen, QStringList{"commandMode island 1 Command Mode 0"});
    rig.scheduler.advance(1);
    QCOMPARE(rig.look(), QStringLiteral("commandMode island 1 Command 1.0s"));
}

void tst_OverlayController::geometry_data() {
    QTest::addColumn<std::vector<ScreenInfo>>("displays");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QRectF>("screenFrame");
    QTest::addColumn<bool>("hasNotch");
    QTest::addColumn<QRectF>("notchRect");
    QTest::addColumn<QRectF>("panel");

    const ScreenInfo notched{QRectF(0, 0, 1512, 982), 32, 600, 600, true};
    const ScreenInfo external{QRectF(1512, 0, 2560, 1440), 0, 0, 0, false};
    QTest::newRow("no notch: the 180 x 32 placeholder")
        << std::vector<ScreenInfo>{{laptop, 0, 0, 0, true}} << QPointF(5, 5) << laptop << false
        << QRectF(870, 0, 180, 32) << QRectF(0, 0, 1920, 200);
    QTest::newRow("notched") << std::vector<ScreenInfo>{notched} << QPointF(5, 5) << notched.frame << true
                             << QRectF(600, 0, 312, 32) << QRectF(0, 0, 1512, 200);
    QTest::newRow("inset with one auxiliary area is no notch")
        << std::vector<ScreenInfo>{{notched.frame, 32, 600, 0, true}} << QPointF(5, 5) << notched.frame
        << false << QRectF(666, 0, 180, 32) << QRectF(0, 0, 1512, 200);
    QTest::newRow("pointer on the seam belongs to the right-hand display")
        << std::vector<ScreenInfo>{notched, external} << QPointF(1512, 10) << external.frame << false
        << QRectF(1190, 0, 180, 32) << QRectF(1512, 0, 2560, 200);
    QTest::newRow("pointer nowhere: the main display")
        << std::vector<ScreenInfo>{external, notched} << QPointF(-50, -50) << notched.frame << true
        << QRectF(600, 0, 312, 32) << QRectF(0, 0, 1512, 200);
    QTest::newRow("pointer nowhere, no main: the first display")
        << std::vector<ScreenInfo>{external, {notched.frame, 32, 600, 600, false}} << QPointF(-50, -50)
        << external.frame << false << QRectF(1190, 0, 180, 32) << QRectF(1512, 0, 2560, 200);
    QTest::newRow("display above the main one")
        << std::vector<ScreenInfo>{{laptop, 0, 0, 0, true}, {QRectF(0, -1440, 2560, 1440), 0, 0, 0, false}}
        << QPointF(40, -30) << QRectF(0, -1440, 2560, 1440) << false << QRectF(1190, 0, 180, 32)
        << QRectF(0, -1440, 2560, 200);
}

void tst_OverlayController::geometry() {
    QFETCH(std::vector<ScreenInfo>, displays);
    QFETCH(QPointF, pointer);
    QFETCH(QRectF, screenFrame);
    QFETCH(bool, hasNotch);
    QFETCH(QRectF, notchRect);
    QFETCH(QRectF, panel);

    Rig rig;
    rig.screens.displays = displays;
    rig.screens.pointer = pointer;
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    QCOMPARE(rig.model().screenFrame(), screenFrame);
    QCOMPARE(rig.model().hasNotch(), hasNotch);
    QCOMPARE(rig.model().notchRect(), notchRect);
    QCOMPARE(rig.controller.panelGeometry(), panel);

    // Every show places the panel anew; with no display at all it stays where it was.
    rig.screens.displays.clear();
    rig.controller.show(QStringLiteral("Recording"), OverlayState::recording);
    QCOMPARE(rig.controller.panelGeometry(), panel);
}

QTEST_GUILESS_MAIN(tst_OverlayController)
#include "tst_OverlayController.moc"
