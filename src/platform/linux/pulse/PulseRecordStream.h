#pragma once

#include "core/ports/AudioInput.h"
#include "platform/linux/pulse/PulseHandles.h"
#include "platform/linux/pulse/PulseLock.h"

#include <QString>

#include <functional>

class PulseConnection;

// One recording from the server's default source, in the source's own format (float when the
// client cannot hand that over as it is) with 10 ms fragments. Everything runs with the loop's
// lock held; the events and the buffers arrive on the loop's thread. Close it before it goes.
class PulseRecordStream final {
public:
    struct Events {
        std::function<void(const PulseLock&)> ready;
        // The stream is closed by then; `wasRunning` tells a lost recording from a failed opening.
        std::function<void(const PulseLock&, const QString& description, bool wasRunning)> failed;
    };

    PulseRecordStream(PulseConnection& connection, AudioInput::BufferHandler onBuffer, Events events);
    PulseRecordStream(const PulseRecordStream&) = delete;
    PulseRecordStream& operator=(const PulseRecordStream&) = delete;

    // Asks for the default source, then records from it. The context must be ready.
    void open(const PulseLock&);
    // After it no event and no buffer arrives. Closing twice is harmless.
    void close(const PulseLock&);

    bool isRunning(const PulseLock&) const { return m_phase == Phase::running; }
    AudioFormat format(const PulseLock&) const { return m_format; }

private:
    enum class Phase { closed, querying, opening, running };

    void connectTo(const PulseLock&, const pa_sample_spec& sourceSpec, const char* sourceName);
    void fail(const PulseLock&, const QString& description);
    QString serverError(const PulseLock&) const;

    static void sourceFound(pa_context*, const pa_source_info* info, int eol, void* userdata);
    static void stateChanged(pa_stream* changed, void* userdata);
    static void readable(pa_stream* stream, std::size_t, void* userdata);

    PulseConnection& m_connection;
    AudioInput::BufferHandler m_onBuffer;
    Events m_events;
    Phase m_phase = Phase::closed;
    PulseOperation m_sourceQuery;
    PulseStream m_stream;
    AudioFormat m_format;
    std::size_t m_frameSize = 0;
};
