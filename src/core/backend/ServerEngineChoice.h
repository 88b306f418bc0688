#pragma once

#include <QString>

// Which recogniser orlavo-server answers with, as the settings window edits it in server.json.
struct ServerEngineChoice {
    bool useService = false; // false: the offline recogniser of this computer
    QString serviceUrl;      // an OpenAI-compatible base URL, e.g. "https://api.openai.com/v1"
    QString key;             // empty: none
    QString transcribeModel = QStringLiteral("whisper-1");
    QString editModel = QStringLiteral("gpt-4o-mini");

    friend bool operator==(const ServerEngineChoice&, const ServerEngineChoice&) = default;
};
