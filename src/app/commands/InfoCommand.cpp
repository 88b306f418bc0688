#include "app/commands/InfoCommand.h"

#include "OrlavoVersion.h"
#include "core/paths/AppPaths.h"

#include <cstdio>

int runVersionCommand(const QStringList&) {
    std::printf("orlavo %s\n", ORLAVO_VERSION);
    return 0;
}

int runPathsCommand(const QStringList&) {
    std::printf("settings  %s\n", qPrintable(AppPaths::defaultsFile()));
    std::printf("database  %s\n", qPrintable(AppPaths::databaseFile()));
    std::printf("notes     %s/PTT-Notes.md\n", qPrintable(AppPaths::documentsDirectory()));
    std::printf("server    %s\n", qPrintable(AppPaths::serverConfigFile()));
    return 0;
}
