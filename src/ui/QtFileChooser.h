#pragma once

#include "core/ports/FileChooser.h"

// The desktop's own save dialog: QFileDialog asks the file chooser portal where one runs (Flatpak,
// GNOME, KDE with QT_QPA_PLATFORMTHEME=xdgdesktopportal) and shows Qt's dialog otherwise. It is
// window-modal to nothing and does not block the event loop.
class QtFileChooser final : public FileChooser {
public:
    QCoro::Task<std::optional<QString>> chooseSaveFile(SaveFileRequest request) override;
};
