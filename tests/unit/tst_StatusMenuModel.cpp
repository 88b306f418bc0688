// What the status pop-over and the tray icon show: the status line, the savings line, the icon
// state, and what the on/off switch does to a recording in progress.
#include "DictationRig.h"
#include "core/hotkey/HotkeyInstructions.h"
#include "core/model/HotkeyBinding.h"
#include "core/model/PTTStatsSummary.h"
#include "core/model/PruningStatsSummary.h"
#include "core/model/TodayStats.h"
#include "ui/StatusMenuModel.h"
#include "ui/StatusPopover.h"
#include "ui/StatusTrayIcon.h"

#include <QTest>

class tst_StatusMenuModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statusLine_data();
    void statusLine();
    void savingsLine_data();
    void savingsLine();
    void followsTheControllerAndTheDatabase();
    void thePopoverOpensBesideTheIcon_data();
    void thePopoverOpensBesideTheIcon();
};

void tst_StatusMenuModel::statusLine_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<TodayStats>("today");
    QTest::addColumn<qint64>("allSessions");
    QTest::addColumn<HotkeyBinding>("hotkey");
    QTest::addColumn<QString>("functionKeyName");
    QTest::addColumn<QString>("line");
    const auto row = [](const char* name, bool on, qint64 dictations, qint64 words, qint64 all,
                        qint64 keyCode, const char* functionKeyName, const char* line,
                        GestureMode mode = GestureMode::pushToTalk) {
        QTest::newRow(name) << on << TodayStats{dictations, words, 0} << all
                            << HotkeyBinding{keyCode, 0, mode} << QString(functionKeyName) << QString(line);
    };
    row("off, whatever was dictated", false, 5, 900, 9, 63, "Right Ctrl", "Off");
    row("minutes saved", true, 12, 400, 12, 63, "Right Ctrl", "12 today · ~7 min saved");
    row("under a minute", true, 3, 0, 3, 63, "Right Ctrl", "3 today · Fn (Right Ctrl)");
    row("earlier days only", true, 0, 0, 4, 63, "Right Ctrl", "On · Fn (Right Ctrl)");
    row("never", true, 0, 0, 0, 63, "Right Ctrl", "Hold Fn (Right Ctrl) and speak");
    row("fn is a key of its own", true, 0, 0, 0, 63, "", "Hold Fn and speak");
    row("another key", true, 0, 0, 0, 96, "Right Ctrl", "Hold F5 and speak");
    row("tap to start, tap to stop", true, 0, 0, 0, 63, "Right Ctrl", "Press Fn (Right Ctrl) and speak",
        GestureMode::toggle);
}

void tst_StatusMenuModel::statusLine() {
    QFETCH(bool, on);
    QFETCH(TodayStats, today);
    QFETCH(qint64, allSessions);
    QFETCH(HotkeyBinding, hotkey);
    QFETCH(QString, functionKeyName);
    QFETCH(QString, line);
    QCOMPARE(StatusMenuModel::statusLineFor(on, today, PTTStatsSummary{allSessions, 0, 0, 0, std::nullopt},
                                            StatusMenuModel::hotkeyHintFor(hotkey, functionKeyName),
                                            HotkeyInstructions::startVerb(hotkey)),
             line);
}

void tst_StatusMenuModel::savingsLine_data() {
    QTest::addColumn<PruningStatsSummary>("stats");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("saved");
    const auto row = [](const char* name, qint64 pruned, qint64 originalWords, qint64 prunedWords,
                        const char* line, bool saved) {
        QTest::newRow(name) << PruningStatsSummary{pruned, originalWords, prunedWords, 0, 0} << QString(line)
                            << saved;
    };
    row("a cent or more", 3, 1000, 0, "~1300 tokens · $0.02 saved", true);
    row("under a cent", 2, 500, 40, "~598 tokens saved", true);
    // Condensing that lengthened the prompts saved nothing; it did not cost tokens to show.
    row("lengthened", 1, 10, 110, "~0 tokens saved", true);
    row("nothing condensed", 0, 0, 0, "No savings yet", false);
}

void tst_StatusMenuModel::savingsLine() {
    QFETCH(PruningStatsSummary, stats);
    QFETCH(QString, line);
    QFETCH(bool, saved);
    QCOMPARE(StatusMenuModel::savingsLineFor(stats), std::pair(line, saved));
}

void tst_StatusMenuModel::followsTheControllerAndTheDatabase() {
    DictationRig rig;
    rig.settingsStore.markSetupCompleted();
    PTTAppState& controller = rig.start();
    StatusMenuModel menu(controller, rig.database, rig.capture, nullptr, QStringLiteral("Right Ctrl"));
    const auto icon = [&menu] { return StatusTrayIcon::iconNameFor(menu.iconState()); };
    QCOMPARE(icon(), QStringLiteral("mic-off"));
    rig.scheduler.advance(0.5);
    QCOMPARE(icon(), QStringLiteral("mic"));

    // Savings count from the reset moment; one that does not read as a date counts everything.
    rig.database.insertPruningStats(
        PruningRecord{100, 50, 600, 300, QStringLiteral("medium"), QStringLiteral("universal")});
    rig.database.saveSetting(StatusMenuModel::pruningResetKey, QStringLiteral("last Tuesday"));
    menu.refresh();
    QCOMPARE(menu.savingsLine(), QStringLiteral("~65 tokens saved"));
    rig.database.saveSetting(StatusMenuModel::pruningResetKey, QStringLiteral("2999-01-01T00:00:00Z"));
    menu.refresh();
    QCOMPARE(menu.savingsLine(), QStringLiteral("No savings yet"));

    // Opening the pop-over reads today's figures again.
    rig.database.insertStats(StatsRecord{200, 1000, 60000, std::nullopt, QStringLiteral("push"), false});
    menu.refresh();
    QCOMPARE(menu.statusLine(), QStringLiteral("1 today · ~4 min saved"));

    rig.send(HotkeySignal::keyDown);
    QCOMPARE(icon(), QStringLiteral("recording"));
    rig.send(HotkeySignal::keyUp);
    QCOMPARE(icon(), QStringLiteral("mic"));
    rig.scheduler.advance(5);

    // Switching off during a latched recording ends it through the cancel path: the microphone
    // does not stay open behind an "Off" switch.
    rig.send(HotkeySignal::toggleOn);
    QCOMPARE(icon(), QStringLiteral("recording"));
    menu.setOn(false);
    QCOMPARE(rig.capture.state(), IAudioCaptureService::State::idle);
    QCOMPARE(rig.capture.cancelCount, 1);
    QCOMPARE(controller.lastEvent()->error, QStringLiteral("Cancelled"));
    QCOMPARE(icon(), QStringLiteral("mic-off"));
    QCOMPARE(menu.statusLine(), QStringLiteral("Off"));
}

void tst_StatusMenuModel::thePopoverOpensBesideTheIcon_data() {
    QTest::addColumn<QRect>("icon");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("tray at the top right") << QRect(1896, 0, 24, 32) << QPoint(1920 - 240, 36);
    QTest::newRow("tray at the bottom") << QRect(1000, 1050, 24, 30) << QPoint(1024 - 240, 1050 - 4 - 190);
    QTest::newRow("icon near the left edge") << QRect(10, 0, 24, 32) << QPoint(0, 36);
}

void tst_StatusMenuModel::thePopoverOpensBesideTheIcon() {
    QFETCH(QRect, icon);
    QFETCH(QPoint, topLeft);
    QCOMPARE(StatusPopover::placement(icon, QSize(240, 190), QRect(0, 0, 1920, 1080)), topLeft);
}

QTEST_MAIN(tst_StatusMenuModel)
#include "tst_StatusMenuModel.moc"
