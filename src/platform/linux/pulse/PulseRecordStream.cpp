#include "platform/linux/pulse/PulseRecordStream.h"

#include "platform/linux/pulse/PulseConnection.h"
#include "platform/linux/pulse/PulseLogging.h"

#include <optional>

namespace {

constexpr pa_usec_t fragmentMicroseconds = 10'000;

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

} // namespace

PulseRecordStream::PulseRecordStream(PulseConnection& connection, AudioInput::BufferHandler onBuffer,
                                     Events events)
    : m_connection(connection)
    , m_onBuffer(std::move(onBuffer))
    , m_events(std::move(events)) {}

void PulseRecordStream::open(const PulseLock& locked) {
    m_phase = Phase::querying;
    m_sourceQuery.reset(pa_context_get_source_info_by_name(m_connection.context(locked), "@DEFAULT_SOURCE@",
                                                           &PulseRecordStream::sourceFound, this));
    if (!m_sourceQuery) {
        fail(locked, QStringLiteral("Cannot reach the sound server: %1").arg(serverError(locked)));
    }
}

void PulseRecordStream::close(const PulseLock&) {
    m_sourceQuery.reset();
    m_stream.reset();
    m_phase = Phase::closed;
    m_onBuffer = nullptr;
}

void PulseRecordStream::connectTo(const PulseLock& locked, const pa_sample_spec& sourceSpec,
                                  const char* sourceName) {
    pa_sample_spec streamFormat = sourceSpec;
    if (!sampleType(streamFormat.format)) {
        streamFormat.format = PA_SAMPLE_FLOAT32NE;
    }
    m_stream.reset(pa_stream_new(m_connection.context(locked), "Dictation", &streamFormat, nullptr));
    if (!m_stream) {
        fail(locked, QStringLiteral("The microphone could not be opened: %1").arg(serverError(locked)));
        return;
    }
    m_format = AudioFormat{static_cast<int>(streamFormat.rate), static_cast<int>(streamFormat.channels),
                           *sampleType(streamFormat.format)};
    m_frameSize = pa_frame_size(&streamFormat);
    pa_stream_set_state_callback(m_stream.get(), &PulseRecordStream::stateChanged, this);
    pa_stream_set_read_callback(m_stream.get(), &PulseRecordStream::readable, this);
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(-1);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(fragmentMicroseconds, &streamFormat));
    // The stream stays on the device it opened: when that device goes away the recording fails
    // visibly instead of carrying on from another input.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    m_phase = Phase::opening;
    qCDebug(lcPulse) << "opening" << sourceName << streamFormat.rate << "Hz" << streamFormat.channels
                     << "channels";
    if (pa_stream_connect_record(m_stream.get(), sourceName, &attributes, flags) < 0) {
        fail(locked, QStringLiteral("The microphone could not be opened: %1").arg(serverError(locked)));
    }
}

void PulseRecordStream::fail(const PulseLock& locked, const QString& description) {
    const bool wasRunning = m_phase == Phase::running;
    qCInfo(lcPulse).noquote() << description;
    close(locked);
    m_events.failed(locked, description, wasRunning);
}

QString PulseRecordStream::serverError(const PulseLock& locked) const {
    return m_connection.lastError(locked);
}

void PulseRecordStream::sourceFound(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* self = static_cast<PulseRecordStream*>(userdata);
    const PulseLock held = PulseLock::heldByLoop();
    if (self->m_phase != Phase::querying) {
        return;
    }
    if (info) {
        // Only the first answer counts. The query is done with, not cancelled: the end-of-list
        // call still follows, and the phase check above turns it away.
        pa_operation_unref(self->m_sourceQuery.release());
        self->connectTo(held, info->sample_spec, info->name);
        return;
    }
    if (eol != 0) {
        pa_operation_unref(self->m_sourceQuery.release());
        self->fail(held, QStringLiteral("No microphone: the sound server has no input device"));
    }
}

void PulseRecordStream::stateChanged(pa_stream* changed, void* userdata) {
    auto* self = static_cast<PulseRecordStream*>(userdata);
    const PulseLock held = PulseLock::heldByLoop();
    switch (pa_stream_get_state(changed)) {
    case PA_STREAM_READY:
        if (self->m_phase == Phase::opening) {
            self->m_phase = Phase::running;
            self->m_events.ready(held);
        }
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED: {
        const QString reason = self->serverError(held);
        self->fail(held, self->m_phase == Phase::running
                             ? QStringLiteral("The microphone stopped: %1").arg(reason)
                             : QStringLiteral("The microphone could not be opened: %1").arg(reason));
        break;
    }
    default:
        break;
    }
}

// The real-time path: no allocation, no waiting.
void PulseRecordStream::readable(pa_stream* stream, std::size_t, void* userdata) {
    auto* self = static_cast<PulseRecordStream*>(userdata);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
        // A null pointer with a size is a hole: samples the server lost, nothing to hand over.
        if (data && self->m_onBuffer && self->m_frameSize > 0) {
            self->m_onBuffer(data, bytes / self->m_frameSize, self->m_format);
        }
        pa_stream_drop(stream);
    }
}
