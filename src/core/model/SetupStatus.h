#pragma once

#include <QString>

#include <optional>

// Readiness shown by the setup wizard and the status menu.
struct SetupStatus {
    bool databaseReady = false;
    bool backendReachable = false;
    bool microphoneGranted = false;
    bool accessibilityGranted = false;
    std::optional<QString> lastBackendError;
    // Which recogniser answered the last check, in words.
    std::optional<QString> backendEngine;

    friend bool operator==(const SetupStatus&, const SetupStatus&) = default;
};
