#include "OrlavoVersion.h"
#include "app/KestrovApp.h"
#include "app/RemoteCommands.h"
#include "app/SingleInstance.h"
#include "app/commands/Command.h"
#include "app/commands/DoctorCommand.h"
#include "app/commands/InfoCommand.h"
#include "app/commands/TextCommand.h"
#include "app/commands/TranscribeCommand.h"
#include "platform/linux/session/DesktopSession.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <array>
#include <cstdio>
#include <cstring>

namespace {

const std::array commands{
    Command{"--version", "print the version", runVersionCommand},
    Command{"paths", "print where settings, database and notes live", runPathsCommand},
    Command{"doctor", "print which desktop path serves the hotkey, typing, clipboard... and why",
            runDoctorCommand},
    Command{"text", "run the local text pipeline on standard input (--app NAME, --lang en|es)",
            runTextCommand},
    Command{"transcribe", "FILE.wav [--app NAME]: print what dictating the file would type",
            runTranscribeCommand},
};

const std::array remoteCommands{
    Command{"toggle", "start a recording in the running Orlavo, or finish the one it is making", nullptr},
    Command{"start", "start a recording in the running Orlavo (it runs until stop)", nullptr},
    Command{"stop", "finish the recording: transcribe it and type the text", nullptr},
    Command{"cancel", "throw the recording away", nullptr},
    Command{"settings", "open the settings window of the running Orlavo", nullptr},
};

void setNames() {
    QCoreApplication::setApplicationName(QStringLiteral("orlavo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORLAVO_VERSION));
}

int printUsage() {
    std::printf(
        "Usage: orlavo [command]\n\nWithout a command, starts Orlavo in the tray (or opens the running "
        "one).\n\nCommands for the running Orlavo (for window-manager key bindings):\n");
    for (const Command& command : remoteCommands) {
        std::printf("  %-12s %s\n", command.name, command.summary);
    }
    std::printf("\nCommands that need no running Orlavo and no display:\n");
    for (const Command& command : commands) {
        std::printf("  %-12s %s\n", command.name, command.summary);
    }
    return 0;
}

int printReply(const RemoteReply& reply) {
    if (!reply.message.isEmpty()) {
        std::fprintf(reply.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(reply.message));
    }
    return reply.exitCode;
}

int runRemoteCommand(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    setNames();
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const auto reply = SingleInstance::send(SingleInstance::defaultDirectory(), arguments);
    if (!reply) {
        std::fprintf(stderr, "orlavo: Orlavo is not running; start it with `orlavo` first\n");
        return 1;
    }
    return printReply(*reply);
}

int runApplication(int argc, char* argv[]) {
    const QString qtPlatform = DesktopSession::qtPlatform(DesktopSession::Environment::fromProcess());
    if (qtPlatform.isEmpty()) {
        std::fprintf(stderr,
                     "orlavo: no display (neither DISPLAY nor WAYLAND_DISPLAY is set). Orlavo runs in a "
                     "graphical session; `orlavo text`, `orlavo transcribe`, `orlavo paths` and "
                     "`orlavo doctor` work without one.\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", qtPlatform.toLocal8Bit());
    QApplication application(argc, argv);
    setNames();
    QApplication::setApplicationDisplayName(QStringLiteral("Orlavo"));
    // The desktop matches windows to Orlavo's launcher entry and icon by this id: X11 takes the
    // window class from the application name, Wayland and the portals from the desktop file name.
    QApplication::setApplicationName(QStringLiteral(ORLAVO_APP_ID));
    QGuiApplication::setDesktopFileName(QStringLiteral(ORLAVO_APP_ID));

    SingleInstance instance;
    QString why;
    if (!instance.becomePrimary(&why)) {
        if (const auto reply = SingleInstance::send(instance.defaultDirectory(), {})) {
            return printReply(*reply);
        }
        std::fprintf(stderr, "orlavo: cannot start: %s\n", qPrintable(why));
        return 1;
    }
    KestrovApp shell;
    instance.setHandler(
        [&shell](const QStringList& arguments) { return shell.handleRemoteCommand(arguments); });
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        return runApplication(argc, argv);
    }
    const char* name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0) {
        return printUsage();
    }
    if (RemoteCommands::isRemoteCommand(QString::fromLocal8Bit(name))) {
        if (argc > 2) {
            std::fprintf(stderr, "orlavo: %s takes no arguments\n", name);
            return 2;
        }
        return runRemoteCommand(argc, argv);
    }
    for (const Command& command : commands) {
        if (std::strcmp(name, command.name) == 0) {
            QCoreApplication application(argc, argv);
            setNames();
            QStringList arguments = QCoreApplication::arguments();
            arguments.removeFirst();
            arguments.removeFirst();
            return command.run(arguments);
        }
    }
    std::fprintf(stderr, "orlavo: unknown command “%s”\n", name);
    printUsage();
    return 2;
}
