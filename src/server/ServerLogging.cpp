#include "server/ServerLogging.h"

Q_LOGGING_CATEGORY(lcServerHttp, "orlavo.server.http", QtWarningMsg)
