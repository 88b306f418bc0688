#include "VirtualScheduler.h"
#include "time/QtScheduler.h"

#include <QCoroTask>
#include <QSignalSpy>
#include <QTest>

namespace {

QCoro::Task<> sleepThenRecord(Scheduler& scheduler, double seconds, QStringList& log, QString label) {
    co_await scheduler.sleep(seconds);
    log << label + QLatin1Char('@') + QString::number(scheduler.clock().monotonicSeconds(), 'f', 2);
}

} // namespace

class tst_Scheduling : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void virtualTimeRunsDueWorkInOrder();
    void repeatingTimersAndCancellation();
    void awaitableSleepInVirtualTime();
    void qtSchedulerFiresAndCancels();
};

void tst_Scheduling::virtualTimeRunsDueWorkInOrder() {
    VirtualScheduler scheduler;
    QStringList log;
    auto record = [&](const QString& label) {
        return [&log, &scheduler, label] {
            log << label + QLatin1Char('@') + QString::number(scheduler.now(), 'f', 2);
        };
    };
    scheduler.after(0.3, record(QStringLiteral("c")));
    scheduler.after(0.1, record(QStringLiteral("a")));
    scheduler.after(0.1, record(QStringLiteral("b"))); // same moment: scheduling order
    scheduler.after(0.2, [&] { scheduler.after(0.05, record(QStringLiteral("nested"))); });
    scheduler.after(-1, record(QStringLiteral("now")));

    scheduler.runDue();
    QCOMPARE(log, QStringList{"now@0.00"});
    scheduler.advance(0.1 + 0.2); // floating-point sums still reach 0.3
    QCOMPARE(log, QStringList({"now@0.00", "a@0.10", "b@0.10", "nested@0.25", "c@0.30"}));
    QCOMPARE(scheduler.pendingCount(), std::size_t(0));
    QCOMPARE(scheduler.now(), 0.1 + 0.2);
}

void tst_Scheduling::repeatingTimersAndCancellation() {
    VirtualScheduler scheduler;
    int ticks = 0;
    Scheduler::TimerId ticker = Scheduler::invalidTimer;
    ticker = scheduler.repeating(30, [&] {
        if (++ticks == 3) {
            scheduler.cancel(ticker); // a timer may cancel itself
        }
    });
    const auto cancelled = scheduler.after(10, [] { QFAIL("cancelled work ran"); });
    scheduler.cancel(cancelled);
    scheduler.cancel(999); // unknown ids are ignored

    scheduler.advance(29.9);
    QCOMPARE(ticks, 0);
    scheduler.advance(0.1);
    QCOMPARE(ticks, 1);
    scheduler.advance(300);
    QCOMPARE(ticks, 3);
    QCOMPARE(scheduler.pendingCount(), std::size_t(0));
}

void tst_Scheduling::awaitableSleepInVirtualTime() {
    VirtualScheduler scheduler;
    QStringList log;
    auto slow = sleepThenRecord(scheduler, 0.8, log, QStringLiteral("retry"));
    auto fast = sleepThenRecord(scheduler, 0.05, log, QStringLiteral("paste"));
    QVERIFY(log.isEmpty());
    scheduler.advance(0.5);
    QCOMPARE(log, QStringList{"paste@0.05"});
    scheduler.advance(0.5);
    QCOMPARE(log, QStringList({"paste@0.05", "retry@0.80"}));
    QVERIFY(slow.isReady());
    QVERIFY(fast.isReady());
}

void tst_Scheduling::qtSchedulerFiresAndCancels() {
    QtScheduler scheduler;
    QStringList log;
    scheduler.after(0.002, [&] { log << QStringLiteral("second"); });
    scheduler.after(0, [&] { log << QStringLiteral("first"); });
    const auto cancelled = scheduler.after(0.001, [&] { log << QStringLiteral("cancelled"); });
    scheduler.cancel(cancelled);
    int ticks = 0;
    Scheduler::TimerId ticker = Scheduler::invalidTimer;
    ticker = scheduler.repeating(0.001, [&] {
        if (++ticks == 3) {
            scheduler.cancel(ticker);
        }
    });
    QTRY_COMPARE(log, QStringList({"first", "second"}));
    QTRY_COMPARE(ticks, 3);

    QStringList awaited;
    auto task = sleepThenRecord(scheduler, 0.001, awaited, QStringLiteral("woke"));
    QTRY_VERIFY(task.isReady());
    QCOMPARE(awaited.size(), 1);
    QVERIFY(scheduler.clock().now().timeSpec() == Qt::UTC);
}

QTEST_GUILESS_MAIN(tst_Scheduling)
#include "tst_Scheduling.moc"
