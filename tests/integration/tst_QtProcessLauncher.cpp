#include "TemporaryEnvironment.h"
#include "core/update/UpdateService.h"
#include "platform/common/QtProcessLauncher.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

constexpr auto readAll = &TemporaryEnvironment::read;

// Whether some process runs with `text` in its command line.
bool processRunsWith(const QString& text) {
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        QByteArray commandLine = readAll(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (commandLine.replace('\0', ' ').contains(text.toUtf8())) {
            return true;
        }
    }
    return false;
}

// Runs the program to its end.
Result<int> run(ProcessLauncher& launcher, const QString& program, const QStringList& arguments) {
    std::optional<Result<int>> outcome;
    QCoro::waitFor([&]() -> QCoro::Task<> { outcome = co_await launcher.run(program, arguments); }());
    return *outcome;
}

} // namespace

class tst_QtProcessLauncher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runReportsExitStatusAndFailures();
    void relaunchWaitsForTheOldProcess();
};

void tst_QtProcessLauncher::runReportsExitStatusAndFailures() {
    QtProcessLauncher launcher;
    QCOMPARE(run(launcher, "/bin/sh", {"-c", "exit 3"}).value(), 3);
    QVERIFY(!run(launcher, "/bin/sh", {"-c", "kill -SEGV $$"}).ok());
    QVERIFY(!run(launcher, "/nonexistent/program", {}).ok());
    const auto detached = launcher.startDetached("/nonexistent/program", {});
    QVERIFY(!detached.ok() && detached.error().description.contains("/nonexistent/program"));
}

void tst_QtProcessLauncher::relaunchWaitsForTheOldProcess() {
    QTemporaryDir sandbox;
    // Quotes, a dollar sign and a back-quote in the install path must reach the shell as text.
    const QString app = sandbox.filePath("Bob's \"apps\" $HOME `id`/Orlavo.app");
    QVERIFY(QDir().mkpath(app + "/bin"));

    QProcess oldProcess;
    oldProcess.start("sleep", {"60"});
    QVERIFY(oldProcess.waitForStarted());
    const qint64 pid = oldProcess.processId();

    QFile program(app + "/bin/orlavo");
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\nif kill -0 " + QByteArray::number(pid) +
                  " 2>/dev/null; then state=alive; else state=gone; fi\necho $state > \"$(dirname "
                  "\"$0\")/../started\"\n");
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFile::ExeOwner));

    QtProcessLauncher launcher;
    const QString command = UpdateService::relaunchCommand(app, pid);
    QVERIFY(launcher.startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}).ok());
    // The shell is in its waiting loop (once it starts the program, exec replaces its command line).
    QTRY_VERIFY(processRunsWith(QStringLiteral("while kill -0 %1 ").arg(pid)));
    QVERIFY(!QFile::exists(app + QStringLiteral("/started")));

    oldProcess.kill();
    QVERIFY(oldProcess.waitForFinished());
    QTRY_COMPARE(readAll(app + QStringLiteral("/started")), QByteArray("gone\n"));
}

QTEST_GUILESS_MAIN(tst_QtProcessLauncher)
#include "tst_QtProcessLauncher.moc"
