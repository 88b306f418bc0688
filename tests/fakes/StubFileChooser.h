#pragma once

#include "core/ports/FileChooser.h"

#include <QList>

// Answers every request with `answer` (absent: the user cancelled).
class StubFileChooser final : public FileChooser {
public:
    QCoro::Task<std::optional<QString>> chooseSaveFile(SaveFileRequest request) override {
        requests.append(std::move(request));
        co_return answer;
    }

    std::optional<QString> answer;
    QList<SaveFileRequest> requests;
};
