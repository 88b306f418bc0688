#pragma once

#include <QLoggingCategory>

// The diagnostic categories of the service; quiet but for warnings unless QT_LOGGING_RULES says
// otherwise. The request log and the start-up lines are not diagnostics: they go to StatusSink.
Q_DECLARE_LOGGING_CATEGORY(lcServerHttp)
