#include "core/transcribe/FileTranscriber.h"

#include "core/audio/AudioCaptureError.h"
#include "core/audio/IAudioCaptureService.h"
#include "core/common/ErrorCode.h"
#include "core/dictation/PTTAppState.h"
#include "core/hotkey/IHotkeyMonitor.h"
#include "core/overlay/IOverlayController.h"
#include "core/paste/IPasteService.h"
#include "core/paste/IPermissionService.h"
#include "core/ports/FrontApplication.h"
#include "core/ports/SoundPlayer.h"

#include <QEventLoop>

namespace {

// The recording is the file: it "starts" and "stops" at once and lasts as long as the file.
class FileCaptureService final : public IAudioCaptureService {
public:
    explicit FileCaptureService(const RecordedWav& recording)
        : m_recording(recording) {}

    State state() const override { return m_state; }
    QCoro::Task<Result<void>> startCapture() override {
        m_state = State::capturing;
        co_return Result<void>::success();
    }
    Result<AudioCaptureResult> stopCapture() override {
        if (m_state != State::capturing) {
            return makeError(AudioCaptureError::notRunning, QStringLiteral("No recording is running"));
        }
        m_state = State::idle;
        return AudioCaptureResult{m_recording.bytes(), m_recording.durationMs()};
    }
    void cancelCapture() override { m_state = State::idle; }
    bool hasVoiceActivity(const QByteArray& wavData, double threshold) const override {
        return RecordedWav::hasVoiceActivity(wavData, threshold);
    }
    void setOnAudioLevel(LevelHandler) override {}

private:
    const RecordedWav& m_recording;
    State m_state = State::idle;
};

// Keeps the text instead of typing it; there is no selection and no key to press.
class CollectingPasteService final : public IPasteService {
public:
    QCoro::Task<Result<void>> insertViaClipboard(QString text) override {
        pasted = std::move(text);
        co_return Result<void>::success();
    }
    QCoro::Task<std::optional<QString>> selectedText() override { co_return std::nullopt; }
    Result<void> selectPreviousText(int) override { return Result<void>::success(); }
    Result<void> sendKeystroke(quint16, quint64) override { return Result<void>::success(); }

    QString pasted;
};

class MessageOverlay final : public IOverlayController {
public:
    void show(const QString&, OverlayState) override {}
    void update(const QString& text, std::optional<OverlayState> state) override {
        if (state == OverlayState::error) {
            failure = text;
        }
    }
    void hide(double) override {}
    void setAudioLevel(float) override {}

    QString failure;
};

// Signals come from transcribe(), not from a keyboard.
class DrivenHotkeyMonitor final : public IHotkeyMonitor {
public:
    void setOnSignal(SignalHandler handler) override { m_handler = std::move(handler); }
    HotkeyBinding binding() const override { return m_binding; }
    void setBinding(const HotkeyBinding& binding) override { m_binding = binding; }
    bool isRunning() const override { return m_running; }
    void start() override { m_running = true; }
    void stop() override { m_running = false; }

    void send(HotkeySignal signal) {
        if (m_handler) {
            m_handler(signal);
        }
    }

private:
    SignalHandler m_handler;
    HotkeyBinding m_binding;
    bool m_running = false;
};

class NamedFrontApplication final : public FrontApplication {
public:
    explicit NamedFrontApplication(std::optional<QString> name)
        : m_name(std::move(name)) {}
    std::optional<FrontApplicationInfo> current() const override {
        if (!m_name) {
            return std::nullopt;
        }
        return FrontApplicationInfo{*m_name, *m_name, m_name->toLower()};
    }

private:
    std::optional<QString> m_name;
};

class SilentSoundPlayer final : public SoundPlayer {
public:
    void play(const QString&) override {}
};

class NoDesktopPermissions final : public IPermissionService {
public:
    bool isAccessibilityGranted() const override { return false; }
    bool isMicrophoneGranted() const override { return false; }
    QCoro::Task<bool> requestMicrophoneAccess() override { co_return false; }
};

} // namespace

FileTranscription FileTranscriber::transcribe(const RecordedWav& recording,
                                              const std::optional<QString>& appName) {
    FileCaptureService capture(recording);
    CollectingPasteService paste;
    MessageOverlay overlay;
    DrivenHotkeyMonitor monitor;
    NamedFrontApplication front(appName);
    SilentSoundPlayer sounds;
    NoDesktopPermissions permissions;

    PTTAppState controller(PTTAppStateDependencies{.settingsStore = m_services.settingsStore,
                                                   .keychain = m_services.keychain,
                                                   .database = m_services.database,
                                                   .backend = m_services.backend,
                                                   .hotkeyMonitor = monitor,
                                                   .audioCapture = capture,
                                                   .paste = paste,
                                                   .permissions = permissions,
                                                   .overlay = overlay,
                                                   .appContext = m_services.appContext,
                                                   .textProcessing = m_services.textProcessing,
                                                   .notes = m_services.notes,
                                                   .scheduler = m_services.scheduler,
                                                   .frontApplication = front,
                                                   .sounds = sounds,
                                                   .fileChooser = nullptr,
                                                   .processLauncher = nullptr,
                                                   .ejectRemapCommand = std::nullopt});
    // The text is printed, never appended to the user's journal.
    PTTSettings settings = controller.settings();
    settings.noteMode = false;
    controller.setSettings(settings);

    QEventLoop loop;
    QObject::connect(&controller, &PTTAppState::isProcessingChanged, &loop, [&controller, &loop] {
        if (!controller.isProcessing()) {
            loop.quit();
        }
    });
    monitor.send(HotkeySignal::keyDown);
    monitor.send(HotkeySignal::keyUp);
    if (controller.isProcessing()) {
        loop.exec();
    }

    FileTranscription result;
    const auto& event = controller.lastEvent();
    if (event && event->transcript && !event->error) {
        result.delivered = true;
        result.text = *event->transcript;
    } else {
        result.message = overlay.failure.isEmpty() ? QStringLiteral("Try again") : overlay.failure;
        result.description =
            event && event->error ? *event->error : QStringLiteral("The dictation did not finish.");
    }
    return result;
}
