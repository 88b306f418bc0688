#pragma once

#include "core/ports/AudioInput.h"

#include <QString>

#include <memory>
#include <optional>

// The default input of the sound server (PulseAudio, or PipeWire through its PulseAudio service),
// as a record stream in the source's own format with 10 ms fragments. The connection to the server
// is made once and kept, so that a recording starts with a single stream set-up. Buffers arrive on
// the client library's thread.
class PulseAudioInput final : public AudioInput {
public:
    PulseAudioInput();
    PulseAudioInput(const PulseAudioInput&) = delete;
    PulseAudioInput& operator=(const PulseAudioInput&) = delete;
    ~PulseAudioInput() override;

    // Asks the server (at most a few seconds when it hangs; a round trip once connected). Safe on
    // any thread.
    bool isAuthorized() const override;
    QCoro::Task<Result<void>> start(BufferHandler onBuffer, FailureHandler onFailure) override;
    void stop() override;

    // Why no microphone can be opened, in words for the user; absent when one can.
    std::optional<QString> unavailableReason() const;

    // The format of the running stream; absent while none runs.
    std::optional<AudioFormat> streamFormat() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
