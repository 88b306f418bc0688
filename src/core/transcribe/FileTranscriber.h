#pragma once

#include "core/transcribe/RecordedWav.h"

#include <QString>

#include <optional>

class IAppContextService;
class IBackendClient;
class INotesService;
class ITextProcessingService;
class KeychainService;
class LocalDatabase;
class Scheduler;
class SettingsStore;

// What a recorded file came to.
struct FileTranscription {
    bool delivered = false;
    // The final text, as a dictation would have typed it.
    QString text;
    // For a failure: the overlay's short words and the full description.
    QString message;
    QString description;
};

// Runs a recorded WAV through the dictation pipeline exactly as a dictation: the controller, fed
// by a capture that yields the file, with a paste that only collects the text. Nothing is typed,
// saved to notes or shown; no display or microphone is needed.
class FileTranscriber final {
public:
    struct Services {
        SettingsStore& settingsStore;
        KeychainService& keychain;
        LocalDatabase& database;
        IBackendClient& backend;
        ITextProcessingService& textProcessing;
        IAppContextService& appContext;
        INotesService& notes;
        Scheduler& scheduler;
    };

    explicit FileTranscriber(Services services)
        : m_services(services) {}

    // `appName` stands for the application in front (formatting, snippets, auto-send rules).
    // Turns the event loop until the dictation has ended.
    FileTranscription transcribe(const RecordedWav& recording, const std::optional<QString>& appName);

private:
    Services m_services;
};
