#include "DictationRig.h"

#include <QFileInfo>

DictationRig::DictationRig()
    : DictationRig(Parts{}) {}

DictationRig::DictationRig(Parts parts)
    : settingsStore(parts.store ? *parts.store : defaults)
    , keychain(parts.store ? *parts.store : defaults)
    , database(parts.databaseClock ? *parts.databaseClock : scheduler.clock(),
               m_directory.filePath(QStringLiteral("ptt.sqlite"))) {
    backend.log = &log;
    monitor.log = &log;
    capture.log = &log;
    paste.log = &log;
    paste.scheduler = &scheduler;
    overlay.log = &log;
    appContext.log = &log;
    text.log = &log;
    notes.log = &log;
    sounds.log = &log;
    processLauncher.log = &log;
    frontApplication.show(QStringLiteral("TextEdit"));
}

QTemporaryDir DictationRig::makeDirectory() {
    // Still a real SQLite file, but in memory where the system offers a folder for it: the tests
    // open hundreds of short-lived databases, and flushing each to disk would dominate their time.
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    if (memory.isDir() && memory.isWritable()) {
        return QTemporaryDir(QStringLiteral("/dev/shm/orlavo-rig-XXXXXX"));
    }
    return QTemporaryDir();
}

DictationRig::~DictationRig() {
    m_controller.reset();
    // Let whatever still waits in virtual time run out, as the event loop would, so that no
    // coroutine stays suspended behind the test.
    scheduler.advance(24 * 3600);
}

PTTAppState& DictationRig::start() {
    m_controller =
        std::make_unique<PTTAppState>(PTTAppStateDependencies{.settingsStore = settingsStore,
                                                              .keychain = keychain,
                                                              .database = database,
                                                              .backend = backend,
                                                              .hotkeyMonitor = monitor,
                                                              .audioCapture = capture,
                                                              .paste = paste,
                                                              .permissions = permissions,
                                                              .overlay = overlay,
                                                              .appContext = appContext,
                                                              .textProcessing = text,
                                                              .notes = notes,
                                                              .scheduler = scheduler,
                                                              .frontApplication = frontApplication,
                                                              .sounds = sounds,
                                                              .fileChooser = &fileChooser,
                                                              .processLauncher = &processLauncher,
                                                              .ejectRemapCommand = ejectRemapCommand});
    return *m_controller;
}

void DictationRig::send(HotkeySignal signal) {
    monitor.send(signal);
    scheduler.runDue();
}

void DictationRig::hold(double seconds) {
    send(HotkeySignal::keyDown);
    scheduler.advance(seconds);
    send(HotkeySignal::keyUp);
}
