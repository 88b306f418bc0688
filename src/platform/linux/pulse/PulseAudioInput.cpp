#include "platform/linux/pulse/PulseAudioInput.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "platform/linux/async/PendingValue.h"
#include "platform/linux/pulse/PulseConnection.h"
#include "platform/linux/pulse/PulseRecordStream.h"

#include <QTimer>

#include <utility>
#include <vector>

namespace {

constexpr int startTimeoutMs = 5000;

PTTError closedWhileOpening() {
    return makeError(PlatformError::audioInputCancelled,
                     QStringLiteral("The microphone was closed while it was opening"));
}

} // namespace

struct PulseAudioInput::Impl {
    enum class Phase { idle, connecting, streaming };

    Impl()
        : connection([this](const PulseLock& locked, bool ready) { contextChanged(locked, ready); }) {
        startTimeout.setSingleShot(true);
        startTimeout.setInterval(startTimeoutMs);
    }

    // Receives what the client library's thread hands to the main thread; what is still queued
    // when it goes is dropped with it.
    QObject owner;

    // Guarded by the main loop's lock; the callbacks run with it held.
    Phase phase = Phase::idle;
    quint64 generation = 0;
    AudioInput::BufferHandler onBuffer;
    // Made for each recording; only closed (never destroyed) inside the loop's callbacks.
    std::optional<PulseRecordStream> stream;

    // Main thread only.
    FailureHandler onFailure;
    std::optional<PendingValue<Result<void>>> pendingStart;
    quint64 pendingGeneration = 0;
    // Starts that stop() cut short, answered on the next turn of the loop.
    std::vector<PendingValue<Result<void>>> cancelledStarts;
    QTimer startTimeout;

    // Last, so it goes first: its loop stops before anything its callbacks touch is destroyed.
    PulseConnection connection;

    void openStream(const PulseLock& locked) {
        phase = Phase::streaming;
        stream.emplace(connection, std::exchange(onBuffer, nullptr),
                       PulseRecordStream::Events{
                           .ready = [this](const PulseLock&) { streamReady(); },
                           .failed =
                               [this](const PulseLock& held, const QString& description, bool wasRunning) {
                                   if (wasRunning) {
                                       failRunning(held, description);
                                   } else {
                                       failStart(held, description);
                                   }
                               },
                       });
        stream->open(locked);
    }

    void teardown(const PulseLock& locked) {
        if (stream) {
            stream->close(locked);
        }
        phase = Phase::idle;
        onBuffer = nullptr;
    }

    void contextChanged(const PulseLock& locked, bool ready) {
        if (ready) {
            if (phase == Phase::connecting) {
                openStream(locked);
            }
            return;
        }
        if (phase == Phase::streaming && stream && stream->isRunning(locked)) {
            failRunning(locked, QStringLiteral("The connection to the sound server was lost"));
        } else if (phase != Phase::idle) {
            failStart(locked,
                      QStringLiteral("Cannot reach the sound server: %1").arg(connection.lastError(locked)));
        }
    }

    // On the client library's thread: the rest happens on the main thread.
    void streamReady() {
        const quint64 started = generation;
        QMetaObject::invokeMethod(
            &owner, [this, started] { completeStart(started, Result<void>::success()); },
            Qt::QueuedConnection);
    }

    void failStart(const PulseLock& locked, const QString& description) {
        teardown(locked);
        const quint64 failed = generation;
        QMetaObject::invokeMethod(
            &owner,
            [this, failed, description] {
                completeStart(failed, makeError(PlatformError::audioInputCannotStart, description));
            },
            Qt::QueuedConnection);
    }

    // A running stream ended without us.
    void failRunning(const PulseLock& locked, const QString& description) {
        teardown(locked);
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
        if (connection.isRunning()) {
            const PulseLock locked = connection.lock();
            ++generation;
            teardown(locked);
            stream.reset();
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
};

PulseAudioInput::PulseAudioInput()
    : m_impl(std::make_unique<Impl>()) {
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
        pending.set(closedWhileOpening());
    }
}

bool PulseAudioInput::isAuthorized() const {
    return !m_impl->connection.probe().has_value();
}

std::optional<QString> PulseAudioInput::unavailableReason() const {
    return m_impl->connection.probe();
}

std::optional<AudioFormat> PulseAudioInput::streamFormat() const {
    if (!m_impl->connection.isRunning()) {
        return std::nullopt;
    }
    const PulseLock locked = m_impl->connection.lock();
    if (!m_impl->stream || !m_impl->stream->isRunning(locked)) {
        return std::nullopt;
    }
    return m_impl->stream->format(locked);
}

QCoro::Task<Result<void>> PulseAudioInput::start(BufferHandler onBuffer, FailureHandler onFailure) {
    Impl& impl = *m_impl;
    if (impl.pendingStart || impl.onFailure) {
        co_return makeError(PlatformError::audioInputCannotStart,
                            QStringLiteral("The microphone is already open"));
    }
    if (!impl.connection.isRunning()) {
        co_return makeError(PlatformError::audioInputCannotStart,
                            QStringLiteral("Cannot start the sound client"));
    }
    quint64 started = 0;
    {
        const PulseLock locked = impl.connection.lock();
        if (impl.phase != Impl::Phase::idle) {
            co_return makeError(PlatformError::audioInputCannotStart,
                                QStringLiteral("The microphone is already open"));
        }
        QString error;
        if (!impl.connection.connect(locked, &error)) {
            co_return makeError(PlatformError::audioInputCannotStart, error);
        }
        started = ++impl.generation;
        impl.onBuffer = std::move(onBuffer);
        if (impl.connection.isReady(locked)) {
            impl.openStream(locked);
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
                pending.set(closedWhileOpening());
            }
        },
        Qt::QueuedConnection);
}
