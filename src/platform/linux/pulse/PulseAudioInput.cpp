#include "platform/linux/pulse/PulseAudioInput.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "platform/linux/async/PendingValue.h"

#include <QTimer>

#include <functional>
#include <pulse/pulseaudio.h>
#include <utility>
#include <vector>

namespace {

constexpr pa_usec_t fragmentMicroseconds = 10'000;
// A local server answers in milliseconds; one that takes this long is hung.
constexpr int probeTimeoutMs = 2000;
constexpr int startTimeoutMs = 5000;

QString serverError(pa_context* context) {
    return QString::fromUtf8(pa_strerror(context ? pa_context_errno(context) : PA_ERR_UNKNOWN));
}

// The formats handed over as they are; the server converts any other one to float.
std::optional<AudioFormat::SampleType> sampleType(pa_sample_format_t format) {
    switch (format) {
    case PA_SAMPLE_S16NE:
        return AudioFormat::SampleType::int16;
    case PA_SAMPLE_S32NE:
        return AudioFormat::SampleType::int32;
    case PA_SAMPLE_FLOAT32NE:
        return AudioFormat::SampleType::float32;
    default:
        return std::nullopt;
    }
}

struct Timeout {
    pa_threaded_mainloop* loop;
    bool expired = false;
};

void expireTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* timeout = static_cast<Timeout*>(userdata);
    timeout->expired = true;
    pa_threaded_mainloop_signal(timeout->loop, 0);
}

struct SourceProbe {
    pa_threaded_mainloop* loop;
    bool done = false;
    bool found = false;
};

} // namespace

struct PulseAudioInput::Impl {
    enum class Phase { idle, connecting, querying, opening, running };

    Impl() {
        startTimeout.setSingleShot(true);
        startTimeout.setInterval(startTimeoutMs);
    }

    // Receives what the client library's thread hands to the main thread; what is still queued
    // when it goes is dropped with it.
    QObject owner;
    pa_threaded_mainloop* loop = nullptr;

    // Guarded by the main loop's lock; the callbacks run with it held.
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_operation* sourceQuery = nullptr;
    Phase phase = Phase::idle;
    quint64 generation = 0;
    BufferHandler onBuffer;
    AudioFormat format;
    std::size_t frameSize = 0;

    // Main thread only.
    FailureHandler onFailure;
    std::optional<PendingValue<Result<void>>> pendingStart;
    quint64 pendingGeneration = 0;
    // Starts that stop() cut short, answered on the next turn of the loop.
    std::vector<PendingValue<Result<void>>> cancelledStarts;
    QTimer startTimeout;

    class Lock {
    public:
        explicit Lock(pa_threaded_mainloop* mainLoop)
            : m_loop(mainLoop) {
            pa_threaded_mainloop_lock(m_loop);
        }
        ~Lock() { pa_threaded_mainloop_unlock(m_loop); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* m_loop;
    };

    // Made once, by the constructor: the probe may run on another thread and must not race the
    // main thread to create it. Later calls only say whether it exists.
    bool ensureLoop() { return loop != nullptr; }

    void createLoop() {
        loop = pa_threaded_mainloop_new();
        if (!loop) {
            return;
        }
        pa_threaded_mainloop_set_name(loop, "orlavo-audio");
        if (pa_threaded_mainloop_start(loop) < 0) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
        }
    }

    // Lock held. Starts connecting unless a usable context exists; false when that fails at once.
    bool ensureContext(QString* error) {
        if (context) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED) {
                return true;
            }
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_unref(context);
            context = nullptr;
        }
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Orlavo");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "orlavo");
        context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), "Orlavo", properties);
        pa_proplist_free(properties);
        if (!context) {
            *error = QStringLiteral("Cannot reach the sound server: out of memory");
            return false;
        }
        pa_context_set_state_callback(context, &Impl::contextStateChanged, this);
        // No autospawn: starting a sound server behind the user's back is not ours to do.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            *error = QStringLiteral("Cannot reach the sound server: %1").arg(serverError(context));
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_unref(context);
            context = nullptr;
            return false;
        }
        return true;
    }

    bool contextReady() const { return context && pa_context_get_state(context) == PA_CONTEXT_READY; }

    // Lock held. Waits (releasing the lock meanwhile) until `done` or the time-out.
    bool waitLocked(const std::function<bool()>& done, int timeoutMs) {
        Timeout timeout{loop};
        struct timeval deadline;
        pa_gettimeofday(&deadline);
        pa_timeval_add(&deadline, static_cast<pa_usec_t>(timeoutMs) * 1000);
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
        pa_time_event* timer = api->time_new(api, &deadline, expireTimeout, &timeout);
        while (!done() && !timeout.expired) {
            pa_threaded_mainloop_wait(loop);
        }
        api->time_free(timer);
        return done();
    }

    std::optional<QString> probe() {
        if (!ensureLoop()) {
            return QStringLiteral("Cannot start the sound client");
        }
        Lock lock(loop);
        QString error;
        if (!ensureContext(&error)) {
            return error;
        }
        const auto settled = [this] {
            const pa_context_state_t state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
        };
        if (!waitLocked(settled, probeTimeoutMs)) {
            return QStringLiteral("Cannot reach the sound server: it does not answer");
        }
        if (!contextReady()) {
            return QStringLiteral("Cannot reach the sound server: %1").arg(serverError(context));
        }
        SourceProbe result{loop};
        pa_operation* operation = pa_context_get_source_info_by_name(
            context, "@DEFAULT_SOURCE@",
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                auto* probeResult = static_cast<SourceProbe*>(userdata);
                if (info) {
                    probeResult->found = true;
                }
                if (eol != 0) {
                    probeResult->done = true;
                    pa_threaded_mainloop_signal(probeResult->loop, 0);
                }
            },
            &result);
        if (!operation) {
            return QStringLiteral("Cannot reach the sound server: %1").arg(serverError(context));
        }
        const bool answered = waitLocked([&result] { return result.done; }, probeTimeoutMs);
        if (!answered) {
            // The callback must not write into `result` once this returns.
            pa_operation_cancel(operation);
        }
        pa_operation_unref(operation);
        if (!answered) {
            return QStringLiteral("Cannot reach the sound server: it does not answer");
        }
        if (!result.found) {
            return QStringLiteral("No microphone: the sound server has no input device");
        }
        return std::nullopt;
    }

    // Lock held.
    void querySource() {
        phase = Phase::querying;
        sourceQuery =
            pa_context_get_source_info_by_name(context, "@DEFAULT_SOURCE@", &Impl::sourceFound, this);
        if (!sourceQuery) {
            failStart(QStringLiteral("Cannot reach the sound server: %1").arg(serverError(context)));
        }
    }

    // Lock held.
    void openStream(const pa_sample_spec& sourceSpec, const char* sourceName) {
        pa_sample_spec streamFormat = sourceSpec;
        if (!sampleType(streamFormat.format)) {
            streamFormat.format = PA_SAMPLE_FLOAT32NE;
        }
        stream = pa_stream_new(context, "Dictation", &streamFormat, nullptr);
        if (!stream) {
            failStart(QStringLiteral("The microphone could not be opened: %1").arg(serverError(context)));
            return;
        }
        format = AudioFormat{static_cast<int>(streamFormat.rate), static_cast<int>(streamFormat.channels),
                             *sampleType(streamFormat.format)};
        frameSize = pa_frame_size(&streamFormat);
        pa_stream_set_state_callback(stream, &Impl::streamStateChanged, this);
        pa_stream_set_read_callback(stream, &Impl::streamReadable, this);
        pa_buffer_attr attributes;
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = static_cast<uint32_t>(-1);
        attributes.prebuf = static_cast<uint32_t>(-1);
        attributes.minreq = static_cast<uint32_t>(-1);
        attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(fragmentMicroseconds, &streamFormat));
        // The stream stays on the device it opened: when that device goes away the recording
        // fails visibly instead of carrying on from another input.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        phase = Phase::opening;
        if (pa_stream_connect_record(stream, sourceName, &attributes, flags) < 0) {
            failStart(QStringLiteral("The microphone could not be opened: %1").arg(serverError(context)));
        }
    }

    // Lock held.
    void teardown() {
        if (sourceQuery) {
            pa_operation_cancel(sourceQuery);
            pa_operation_unref(sourceQuery);
            sourceQuery = nullptr;
        }
        if (stream) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_read_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
            stream = nullptr;
        }
        phase = Phase::idle;
        onBuffer = nullptr;
    }

    // Lock held, on the client library's thread: the rest happens on the main thread.
    void failStart(const QString& description) {
        teardown();
        const quint64 failed = generation;
        QMetaObject::invokeMethod(
            &owner,
            [this, failed, description] {
                completeStart(failed, makeError(PlatformError::audioInputCannotStart, description));
            },
            Qt::QueuedConnection);
    }

    // Lock held: a running stream ended without us.
    void failRunning(const QString& description) {
        teardown();
        const quint64 failed = generation;
        QMetaObject::invokeMethod(
            &owner,
            [this, failed, description] {
                if (failed != generation || !onFailure) {
                    return;
                }
                const FailureHandler handler = std::exchange(onFailure, nullptr);
                handler(makeError(PlatformError::audioInputStopped, description));
            },
            Qt::QueuedConnection);
    }

    // Main thread. After it, no buffer handler runs; a pending start stays pending.
    void closeStream() {
        if (loop) {
            Lock lock(loop);
            ++generation;
            teardown();
        }
        onFailure = nullptr;
    }

    // Main thread.
    void completeStart(quint64 started, Result<void> result) {
        if (!pendingStart || pendingGeneration != started) {
            return;
        }
        startTimeout.stop();
        auto pending = std::move(*pendingStart);
        pendingStart.reset();
        if (!result.ok()) {
            onFailure = nullptr;
        }
        pending.set(std::move(result));
    }

    static void contextStateChanged(pa_context* changed, void* userdata) {
        auto* self = static_cast<Impl*>(userdata);
        pa_threaded_mainloop_signal(self->loop, 0);
        switch (pa_context_get_state(changed)) {
        case PA_CONTEXT_READY:
            if (self->phase == Phase::connecting) {
                self->querySource();
            }
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            if (self->phase == Phase::running) {
                self->failRunning(QStringLiteral("The connection to the sound server was lost"));
            } else if (self->phase != Phase::idle) {
                self->failStart(
                    QStringLiteral("Cannot reach the sound server: %1").arg(serverError(changed)));
            }
            break;
        default:
            break;
        }
    }

    static void sourceFound(pa_context*, const pa_source_info* info, int eol, void* userdata) {
        auto* self = static_cast<Impl*>(userdata);
        if (self->phase != Phase::querying) {
            return;
        }
        if (info) {
            // Only the first answer counts; the end-of-list call follows.
            pa_operation_unref(self->sourceQuery);
            self->sourceQuery = nullptr;
            self->openStream(info->sample_spec, info->name);
            return;
        }
        if (eol != 0) {
            pa_operation_unref(self->sourceQuery);
            self->sourceQuery = nullptr;
            self->failStart(QStringLiteral("No microphone: the sound server has no input device"));
        }
    }

    static void streamStateChanged(pa_stream* changed, void* userdata) {
        auto* self = static_cast<Impl*>(userdata);
        switch (pa_stream_get_state(changed)) {
        case PA_STREAM_READY:
            if (self->phase == Phase::opening) {
                self->phase = Phase::running;
                const quint64 started = self->generation;
                QMetaObject::invokeMethod(
                    &self->owner, [self, started] { self->completeStart(started, Result<void>::success()); },
                    Qt::QueuedConnection);
            }
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED: {
            const QString reason = serverError(self->context);
            if (self->phase == Phase::running) {
                self->failRunning(QStringLiteral("The microphone stopped: %1").arg(reason));
            } else {
                self->failStart(QStringLiteral("The microphone could not be opened: %1").arg(reason));
            }
            break;
        }
        default:
            break;
        }
    }

    // The real-time path: no allocation, no waiting.
    static void streamReadable(pa_stream* readable, std::size_t, void* userdata) {
        auto* self = static_cast<Impl*>(userdata);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(readable, &data, &bytes) == 0 && bytes > 0) {
            // A null pointer with a size is a hole: samples the server lost, nothing to hand over.
            if (data && self->onBuffer && self->frameSize > 0) {
                self->onBuffer(data, bytes / self->frameSize, self->format);
            }
            pa_stream_drop(readable);
        }
    }
};

PulseAudioInput::PulseAudioInput()
    : m_impl(std::make_unique<Impl>()) {
    m_impl->createLoop();
    QObject::connect(&m_impl->startTimeout, &QTimer::timeout, &m_impl->owner, [this] {
        const quint64 timedOut = m_impl->pendingGeneration;
        m_impl->closeStream();
        m_impl->completeStart(timedOut, makeError(PlatformError::audioInputCannotStart,
                                                  QStringLiteral("The sound server did not answer")));
    });
}

PulseAudioInput::~PulseAudioInput() {
    m_impl->closeStream();
    // Nobody is left to answer a waiting start later.
    if (m_impl->pendingStart) {
        m_impl->cancelledStarts.push_back(std::move(*m_impl->pendingStart));
        m_impl->pendingStart.reset();
    }
    for (auto& pending : std::exchange(m_impl->cancelledStarts, {})) {
        pending.set(makeError(PlatformError::audioInputCancelled,
                              QStringLiteral("The microphone was closed while it was opening")));
    }
    if (!m_impl->loop) {
        return;
    }
    {
        Impl::Lock lock(m_impl->loop);
        if (m_impl->context) {
            pa_context_set_state_callback(m_impl->context, nullptr, nullptr);
            pa_context_disconnect(m_impl->context);
            pa_context_unref(m_impl->context);
            m_impl->context = nullptr;
        }
    }
    pa_threaded_mainloop_stop(m_impl->loop);
    pa_threaded_mainloop_free(m_impl->loop);
}

bool PulseAudioInput::isAuthorized() const {
    return !m_impl->probe().has_value();
}

std::optional<QString> PulseAudioInput::unavailableReason() const {
    return m_impl->probe();
}

std::optional<AudioFormat> PulseAudioInput::streamFormat() const {
    if (!m_impl->loop) {
        return std::nullopt;
    }
    Impl::Lock lock(m_impl->loop);
    if (m_impl->phase != Impl::Phase::running) {
        return std::nullopt;
    }
    return m_impl->format;
}

QCoro::Task<Result<void>> PulseAudioInput::start(BufferHandler onBuffer, FailureHandler onFailure) {
    Impl& impl = *m_impl;
    if (impl.pendingStart || impl.onFailure) {
        co_return makeError(PlatformError::audioInputCannotStart,
                            QStringLiteral("The microphone is already open"));
    }
    if (!impl.ensureLoop()) {
        co_return makeError(PlatformError::audioInputCannotStart,
                            QStringLiteral("Cannot start the sound client"));
    }
    quint64 started = 0;
    {
        Impl::Lock lock(impl.loop);
        if (impl.phase != Impl::Phase::idle) {
            co_return makeError(PlatformError::audioInputCannotStart,
                                QStringLiteral("The microphone is already open"));
        }
        QString error;
        if (!impl.ensureContext(&error)) {
            co_return makeError(PlatformError::audioInputCannotStart, error);
        }
        started = ++impl.generation;
        impl.onBuffer = std::move(onBuffer);
        if (impl.contextReady()) {
            impl.querySource();
        } else {
            impl.phase = Impl::Phase::connecting;
        }
    }
    // Whatever the chain on the client thread reports is queued behind this point.
    impl.onFailure = std::move(onFailure);
    const PendingValue<Result<void>> pending;
    impl.pendingStart = pending;
    impl.pendingGeneration = started;
    impl.startTimeout.start();
    co_return co_await pending;
}

void PulseAudioInput::stop() {
    Impl& impl = *m_impl;
    impl.closeStream();
    impl.startTimeout.stop();
    if (!impl.pendingStart) {
        return;
    }
    // The waiting start learns of it on the next turn of the loop, not inside our caller's stop().
    impl.cancelledStarts.push_back(std::move(*impl.pendingStart));
    impl.pendingStart.reset();
    QMetaObject::invokeMethod(
        &impl.owner,
        [this] {
            for (auto& pending : std::exchange(m_impl->cancelledStarts, {})) {
                pending.set(makeError(PlatformError::audioInputCancelled,
                                      QStringLiteral("The microphone was closed while it was opening")));
            }
        },
        Qt::QueuedConnection);
}
