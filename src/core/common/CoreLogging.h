#pragma once

#include <QLoggingCategory>

// The diagnostic categories of the core. Only warnings are on by default; turn the rest on with
// QT_LOGGING_RULES, e.g. QT_LOGGING_RULES="orlavo.audio.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcAudio)
Q_DECLARE_LOGGING_CATEGORY(lcBackend)
Q_DECLARE_LOGGING_CATEGORY(lcDictation)
Q_DECLARE_LOGGING_CATEGORY(lcHotkey)
Q_DECLARE_LOGGING_CATEGORY(lcOverlay)
Q_DECLARE_LOGGING_CATEGORY(lcPaste)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
