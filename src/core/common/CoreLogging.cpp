#include "core/common/CoreLogging.h"

Q_LOGGING_CATEGORY(lcAudio, "orlavo.audio", QtWarningMsg)
Q_LOGGING_CATEGORY(lcBackend, "orlavo.backend", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDictation, "orlavo.dictation", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHotkey, "orlavo.hotkey", QtWarningMsg)
Q_LOGGING_CATEGORY(lcOverlay, "orlavo.overlay", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPaste, "orlavo.paste", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "orlavo.settings", QtWarningMsg)
