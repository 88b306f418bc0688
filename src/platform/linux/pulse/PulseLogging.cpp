#include "platform/linux/pulse/PulseLogging.h"

Q_LOGGING_CATEGORY(lcPulse, "orlavo.audio.pulse", QtWarningMsg)
