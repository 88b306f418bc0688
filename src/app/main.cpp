#include "OrlavoVersion.h"
#include "commands/Command.h"
#include "commands/InfoCommand.h"
#include "commands/TextCommand.h"
#include "commands/TranscribeCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <array>
#include <cstdio>
#include <cstring>

namespace {

const std::array commands{
    Command{"--version", "print the version", runVersionCommand},
    Command{"paths", "print where settings, database and notes live", runPathsCommand},
    Command{"text", "run the local text pipeline on standard input (--app NAME, --lang en|es)",
            runTextCommand},
    Command{"transcribe", "FILE.wav [--app NAME]: print what dictating the file would type",
            runTranscribeCommand},
};

int printUsage() {
    std::printf("Usage: orlavo [command]\n\nCommands:\n");
    for (const Command& command : commands) {
        std::printf("  %-12s %s\n", command.name, command.summary);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orlavo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORLAVO_VERSION));

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (arguments.isEmpty()) {
        runVersionCommand({});
        return runPathsCommand({});
    }
    const QString name = arguments.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        return printUsage();
    }
    for (const Command& command : commands) {
        if (name == QLatin1String(command.name)) {
            return command.run(arguments);
        }
    }
    std::fprintf(stderr, "orlavo: unknown command “%s”\n", qPrintable(name));
    printUsage();
    return 2;
}
