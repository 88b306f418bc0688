#pragma once

#include <optional>
#include <string_view>

// Which recogniser answers transcriptions: the offline one, or the OpenAI-compatible upstream.
enum class TranscriptionEngineKind { local, openai };

constexpr std::string_view engineName(TranscriptionEngineKind kind) {
    return kind == TranscriptionEngineKind::local ? "local" : "openai";
}

constexpr std::optional<TranscriptionEngineKind> engineFromName(std::string_view name) {
    if (name == "local") {
        return TranscriptionEngineKind::local;
    }
    if (name == "openai") {
        return TranscriptionEngineKind::openai;
    }
    return std::nullopt;
}
