#pragma once

#include "ports/AudioInput.h"
#include "ports/FrontApplication.h"
#include "ports/KeyEventSource.h"
#include "ports/KeySynthesizer.h"
#include "ports/Pasteboard.h"
#include "ports/PermissionProbe.h"
#include "ports/ProcessLauncher.h"
#include "ports/Screens.h"
#include "ports/SelectedTextReader.h"
#include "ports/SoundPlayer.h"

#include <QString>

#include <memory>

// One implementation of every desktop port, all from the same platform. Members are destroyed in
// reverse order, so later ones may refer to earlier ones (the permission probe asks the audio input).
struct PlatformServices {
    // "x11" or "null".
    QString name;
    // Why the null platform stands in; empty when a real one was found.
    QString reason;

    std::unique_ptr<KeyEventSource> keyEventSource;
    std::unique_ptr<KeySynthesizer> keySynthesizer;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<SelectedTextReader> selectedTextReader;
    std::unique_ptr<FrontApplication> frontApplication;
    std::unique_ptr<AudioInput> audioInput;
    std::unique_ptr<SoundPlayer> soundPlayer;
    std::unique_ptr<Screens> screens;
    std::unique_ptr<ProcessLauncher> processLauncher;
    std::unique_ptr<PermissionProbe> permissionProbe;
};
