#pragma once

#include "ports/SelectedTextReader.h"

class ScriptedSelectedTextReader final : public SelectedTextReader {
public:
    QCoro::Task<std::optional<QString>> selectedText() override { co_return selection; }

    std::optional<QString> selection;
};
