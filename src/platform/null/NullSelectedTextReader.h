#pragma once

#include "core/ports/SelectedTextReader.h"

// Nothing is ever selected.
class NullSelectedTextReader final : public SelectedTextReader {
public:
    QCoro::Task<std::optional<QString>> selectedText() override { co_return std::nullopt; }
};
