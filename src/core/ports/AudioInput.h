#pragma once

#include "core/common/Result.h"

#include <QCoroTask>

#include <cstddef>
#include <functional>

// The microphone as the sound server delivers it.
struct AudioFormat {
    enum class SampleType { int16, int32, float32 };

    int sampleRate = 0;
    int channels = 0;
    SampleType sampleType = SampleType::int16;

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// Records the default input device. Buffers arrive on the input's own thread: interleaved frames
// in the stream's native format, passed with every buffer (it is fixed for one recording).
class AudioInput {
public:
    // `frames` interleaved frames of `format` at `data`; valid only during the call. The handler
    // runs on the audio thread and must neither block nor allocate.
    using BufferHandler =
        std::function<void(const void* data, std::size_t frames, const AudioFormat& format)>;
    // The input stopped by itself (device unplugged, server gone). Called on the main thread.
    using FailureHandler = std::function<void(const PTTError& error)>;

    virtual ~AudioInput() = default;

    // Whether an input device can be opened (the "microphone permission" of this platform).
    virtual bool isAuthorized() const = 0;

    // Opens the default input and starts delivering buffers. Completes once the stream runs, or
    // with the error that stopped it. stop() while this is pending tears the start down, and the
    // task then completes with an error.
    virtual QCoro::Task<Result<void>> start(BufferHandler onBuffer, FailureHandler onFailure) = 0;

    // Stops the stream. When it returns, no buffer handler is running and none will run again.
    virtual void stop() = 0;
};
