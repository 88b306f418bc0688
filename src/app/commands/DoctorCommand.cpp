#include "app/commands/DoctorCommand.h"

#include "platform/PlatformFactory.h"
#include "platform/linux/session/DesktopSession.h"

#include <cstdio>

int runDoctorCommand(const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        std::fprintf(stderr, "orlavo: doctor takes no arguments\n");
        return 2;
    }
    // Asked of the environment the tray application would start in, without starting it.
    const QString qtPlatform = DesktopSession::qtPlatform(DesktopSession::Environment::fromProcess());
    for (const PortPath& path : PlatformFactory::describe(qtPlatform)) {
        std::printf("%s: %s (%s)\n", qPrintable(path.port), qPrintable(path.path), qPrintable(path.reason));
    }
    return 0;
}
