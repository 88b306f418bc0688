#pragma once

#include "core/ports/FileChooser.h"

// Every choice is cancelled.
class NullFileChooser final : public FileChooser {
public:
    QCoro::Task<std::optional<QString>> chooseSaveFile(SaveFileRequest) override { co_return std::nullopt; }
};
