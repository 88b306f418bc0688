#include "VirtualScheduler.h"
#include "core/time/QtScheduler.h"

#include <QCoroTask>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QCoro::Task<> sleepThenRecord(Scheduler& scheduler, double seconds, QStringList& log, QString label) {
    co_await scheduler.sleep(seconds);
    log << label + u'@' + QString::number(scheduler.clock().monotonicSeconds(), 'f', 2);
}

} // namespace

// The virtual-time scheduler every test relies on, and the Qt one the app runs on.
class tst_Scheduling : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void virtualTimeRunsDueWorkInOrder();
    void repeatingTimersAndCancellation();
    void qtSchedulerFiresAndCancels();
};

void tst_Scheduling::virtualTimeRunsDueWorkInOrder() {
    VirtualScheduler scheduler;
    QStringList log;
    const auto record = [&](const QString& label) {
        return [&log, &scheduler, label] { log << label + u'@' + QString::number(scheduler.now(), 'f', 2); };
    };
    scheduler.after(0.3, record(u"c"_s));
    scheduler.after(0.1, record(u"a"_s));
    scheduler.after(0.1, record(u"b"_s)); // same moment: scheduling order
    scheduler.after(0.2, [&] { scheduler.after(0.05, record(u"nested"_s)); });
    scheduler.after(-1, record(u"now"_s));
    auto slept = sleepThenRecord(scheduler, 0.28, log, u"slept"_s); // awaitable from a coroutine

    scheduler.runDue();
    QCOMPARE(log, QStringList{"now@0.00"});
    scheduler.advance(0.1 + 0.2); // floating-point sums still reach 0.3
    QCOMPARE(log, QStringList({"now@0.00", "a@0.10", "b@0.10", "nested@0.25", "slept@0.28", "c@0.30"}));
    QVERIFY(slept.isReady());
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
    scheduler.cancel(scheduler.after(10, [] { QFAIL("cancelled work ran"); }));
    scheduler.cancel(999); // unknown ids are ignored

    scheduler.advance(29.9);
    QCOMPARE(ticks, 0);
    scheduler.advance(0.1);
    QCOMPARE(ticks, 1);
    scheduler.advance(300);
    QCOMPARE(ticks, 3);
    QCOMPARE(scheduler.pendingCount(), std::size_t(0));
}

void tst_Scheduling::qtSchedulerFiresAndCancels() {
    QtScheduler scheduler;
    QStringList log;
    scheduler.after(0.002, [&] { log << u"second"_s; });
    scheduler.after(0, [&] { log << u"first"_s; });
    scheduler.cancel(scheduler.after(0.001, [&] { log << u"cancelled"_s; }));
    int ticks = 0;
    Scheduler::TimerId ticker = Scheduler::invalidTimer;
    ticker = scheduler.repeating(0.001, [&] {
        if (++ticks == 3) {
            scheduler.cancel(ticker);
        }
    });
    QStringList woke;
    auto slept = sleepThenRecord(scheduler, 0.001, woke, u"woke"_s);
    QTRY_COMPARE(log, QStringList({"first", "second"}));
    QTRY_VERIFY(ticks == 3 && slept.isReady());
    QVERIFY(scheduler.clock().now().timeSpec() == Qt::UTC);
}

QTEST_GUILESS_MAIN(tst_Scheduling)
#include "tst_Scheduling.moc"
