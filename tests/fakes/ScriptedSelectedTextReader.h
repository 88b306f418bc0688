#pragma once

#include "core/ports/SelectedTextReader.h"

class ScriptedSelectedTextReader final : public SelectedTextReader {
public:
    QCoro::Task<std::optional<QString>> selectedText() override { co_return selection; }

    std::optional<QString> selection;
};
