// One Orlavo per user: a second launch hands its command line to the first, and toggle, start,
// stop and cancel drive the running one. The real binary runs here off screen, without a desktop
// platform; what the commands do to a dictation is checked on the controller in virtual time.
#include "DictationRig.h"
#include "app/RemoteCommands.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray output;
};

// Starts `orlavo` with the environment of one user whose runtime folder is `runtime`.
class Orlavo final {
public:
    explicit Orlavo(const QTemporaryDir& home)
        : m_directory(home.path()) {
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
            m_environment.insert(QLatin1String(name), home.path());
        }
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_environment.insert(QStringLiteral("ORLAVO_PLATFORM"), QStringLiteral("null"));
        m_environment.insert(QStringLiteral("PTT_SKIP_WIZARD"), QStringLiteral("1"));
    }

    Run run(const QStringList& arguments) const {
        QProcess process;
        start(process, arguments);
        if (!process.waitForFinished(15000)) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return {process.exitCode(), process.readAll()};
    }

    // The first instance, once it holds the lock and listens.
    std::unique_ptr<QProcess> launch() const {
        auto process = std::make_unique<QProcess>();
        start(*process, {});
        const bool listening = QTest::qWaitFor(
            [&] {
                qint64 pid = 0;
                QString host;
                QString application;
                QLocalSocket socket;
                socket.connectToServer(m_directory + QStringLiteral("/orlavo.socket"));
                return QLockFile(m_directory + QStringLiteral("/orlavo.lock"))
                           .getLockInfo(&pid, &host, &application) &&
                       pid == process->processId() && socket.waitForConnected(100);
            },
            15000);
        return listening ? std::move(process) : nullptr;
    }

private:
    void start(QProcess& process, const QStringList& arguments) const {
        process.setProcessEnvironment(m_environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(qEnvironmentVariable("ORLAVO_BINARY"), arguments);
    }
    QString m_directory;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
};

} // namespace

class tst_SingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandsDriveTheDictation_data();
    void commandsDriveTheDictation();
    void aSecondLaunchHandsOverAndExits();
    void theInstanceRefusesWhatIsNotACommandLine();
    void aFolderNotPrivateIsRefused_data();
    void aFolderNotPrivateIsRefused();
};

void tst_SingleInstance::commandsDriveTheDictation_data() {
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("starts");
    QTest::addColumn<int>("uploads");
    QTest::addColumn<int>("cancels");
    QTest::newRow("toggle starts, toggle finishes") << QStringList{"toggle", "toggle"} << 1 << 1 << 0;
    QTest::newRow("a second start changes nothing") << QStringList{"start", "start", "stop"} << 1 << 1 << 0;
    QTest::newRow("cancel throws it away") << QStringList{"start", "cancel", "stop"} << 1 << 0 << 1;
    QTest::newRow("stop with nothing recording") << QStringList{"stop", "cancel"} << 0 << 0 << 0;
}

void tst_SingleInstance::commandsDriveTheDictation() {
    QFETCH(QStringList, commands);
    QFETCH(int, starts);
    QFETCH(int, uploads);
    QFETCH(int, cancels);
    DictationRig rig;
    PTTAppState& controller = rig.start();
    for (const QString& command : commands) {
        const RemoteReply reply = RemoteCommands::run({command}, controller, rig.capture, {});
        QCOMPARE(reply.exitCode, 0);
        rig.scheduler.advance(2);
    }
    QCOMPARE(rig.capture.startCount, starts);
    QCOMPARE(rig.backend.uploads.size(), uploads);
    QCOMPARE(rig.capture.cancelCount, cancels);
}

void tst_SingleInstance::aSecondLaunchHandsOverAndExits() {
    QTemporaryDir home;
    const Orlavo orlavo(home);
    Run none = orlavo.run({QStringLiteral("toggle")});
    QCOMPARE(none.exitCode, 1);
    QVERIFY2(none.output.contains("not running"), none.output.constData());

    auto first = orlavo.launch();
    QVERIFY(first);
    const Run second = orlavo.run({});
    QCOMPARE(second.exitCode, 0);
    QVERIFY2(second.output.startsWith("Orlavo is already running."), second.output.constData());
    QCOMPARE(orlavo.run({QStringLiteral("start")}).exitCode, 0);
    const Run wrong = orlavo.run({QStringLiteral("cancel"), QStringLiteral("now")});
    QCOMPARE(wrong.exitCode, 2);
    QCOMPARE(first->state(), QProcess::Running);

    // An instance that ended without cleaning up leaves its lock and socket behind: the next one
    // starts anyway, and commands meanwhile say that none runs.
    first->kill();
    first->waitForFinished();
    QCOMPARE(orlavo.run({QStringLiteral("stop")}).exitCode, 1);
    auto next = orlavo.launch();
    QVERIFY(next);
    QCOMPARE(orlavo.run({QStringLiteral("toggle")}).exitCode, 0);
    next->terminate();
    QVERIFY(next->waitForFinished());
}

void tst_SingleInstance::theInstanceRefusesWhatIsNotACommandLine() {
    QTemporaryDir directory;
    SingleInstance instance(directory.path());
    QVERIFY(instance.becomePrimary());
    SingleInstance other(directory.path());
    QString why;
    QVERIFY(!other.becomePrimary(&why));
    QVERIFY(!why.isEmpty());
    QStringList received;
    instance.setHandler([&received](const QStringList& arguments) {
        received = arguments;
        return RemoteReply{0, QStringLiteral("ok")};
    });

    const auto exchange = [&instance](const QByteArray& request) {
        QLocalSocket socket;
        socket.connectToServer(instance.socketPath());
        socket.write(request);
        QByteArray answer;
        const bool closed = QTest::qWaitFor(
            [&] {
                answer += socket.readAll();
                return socket.state() == QLocalSocket::UnconnectedState;
            },
            10000);
        return closed ? answer + socket.readAll() : QByteArray("still open");
    };
    QCOMPARE(exchange(R"({"arguments":["toggle"]})"
                      "\n"),
             QByteArray(R"({"exitCode":0,"message":"ok"})"
                        "\n"));
    QCOMPARE(received, QStringList{QStringLiteral("toggle")});
    received.clear();
    QVERIFY(exchange(R"({"arguments":[1]})"
                     "\n")
                .startsWith(R"({"exitCode":2)"));
    QVERIFY(exchange("not json\n").startsWith(R"({"exitCode":2)"));
    // More than a command line without an end is cut off, unanswered.
    QCOMPARE(exchange(QByteArray(SingleInstance::maxRequestBytes + 10, 'x')), QByteArray());
    QVERIFY(received.isEmpty());
}

void tst_SingleInstance::aFolderNotPrivateIsRefused_data() {
    QTest::addColumn<QString>("folder"); // made by the test in a private sandbox
    QTest::newRow("readable by others") << "open";
    QTest::newRow("a link to a private folder") << "link";
    QTest::newRow("another user's") << "theirs";
}

void tst_SingleInstance::aFolderNotPrivateIsRefused() {
    QFETCH(QString, folder);
    QTemporaryDir sandbox;
    const QString path = sandbox.filePath("orlavo-1000");
    if (folder == "link") {
        QVERIFY(QDir(sandbox.path()).mkdir("private") && QFile::link(sandbox.filePath("private"), path));
    } else {
        QVERIFY(QDir(sandbox.path()).mkdir("orlavo-1000"));
        QVERIFY(QFile::setPermissions(
            path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                      (folder == "open" ? QFile::ReadOther | QFile::ExeOther : QFile::Permissions())));
        // Only root can give a folder away; for anyone else the folder stays theirs and private.
        if (folder == "theirs" && ::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                    QFile::WriteOther));
        }
        QVERIFY(folder != "theirs" || ::geteuid() != 0 ||
                ::chown(QFile::encodeName(path), 65534, 65534) == 0);
    }
    SingleInstance instance(path);
    QString why;
    QVERIFY(!instance.becomePrimary(&why));
    QVERIFY2(why.contains("private") || why.contains("not a folder"), qPrintable(why));
    QVERIFY(!QFileInfo::exists(path + "/orlavo.socket") && !QFileInfo::exists(path + "/orlavo.lock"));
    QVERIFY(!SingleInstance::send(path, {"toggle"}, 200));
}

QTEST_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
