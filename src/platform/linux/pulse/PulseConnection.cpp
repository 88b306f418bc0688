#include "platform/linux/pulse/PulseConnection.h"

namespace {

// A local server answers in milliseconds; one that takes this long is hung.
constexpr int probeTimeoutMs = 2000;

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

void sourceProbed(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* probe = static_cast<SourceProbe*>(userdata);
    if (info) {
        probe->found = true;
    }
    if (eol != 0) {
        probe->done = true;
        pa_threaded_mainloop_signal(probe->loop, 0);
    }
}

QString unreachable(const QString& why) {
    return QStringLiteral("Cannot reach the sound server: %1").arg(why);
}

} // namespace

PulseConnection::PulseConnection(StateListener listener)
    : m_listener(std::move(listener)) {
    // Made here, once: the probe may run on another thread and must not race to create it.
    PulseMainLoop loop(pa_threaded_mainloop_new());
    if (!loop) {
        return;
    }
    pa_threaded_mainloop_set_name(loop.get(), "orlavo-audio");
    if (pa_threaded_mainloop_start(loop.get()) < 0) {
        pa_threaded_mainloop_free(loop.release());
        return;
    }
    m_loop = std::move(loop);
}

PulseConnection::~PulseConnection() {
    if (!m_loop) {
        return;
    }
    {
        const PulseLock locked = lock();
        m_context.reset();
    }
    m_loop.reset();
}

bool PulseConnection::connect(const PulseLock& locked, QString* error) {
    if (m_context) {
        const pa_context_state_t state = pa_context_get_state(m_context.get());
        if (state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED) {
            return true;
        }
        m_context.reset();
    }
    const PulseProperties properties(pa_proplist_new());
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_NAME, "Orlavo");
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ID, "orlavo");
    m_context.reset(
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop.get()), "Orlavo", properties.get()));
    if (!m_context) {
        *error = unreachable(QStringLiteral("out of memory"));
        return false;
    }
    pa_context_set_state_callback(m_context.get(), &PulseConnection::stateChanged, this);
    // No autospawn: starting a sound server behind the user's back is not ours to do.
    if (pa_context_connect(m_context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        *error = unreachable(lastError(locked));
        m_context.reset();
        return false;
    }
    return true;
}

bool PulseConnection::isReady(const PulseLock&) const {
    return m_context && pa_context_get_state(m_context.get()) == PA_CONTEXT_READY;
}

QString PulseConnection::lastError(const PulseLock&) const {
    return QString::fromUtf8(pa_strerror(m_context ? pa_context_errno(m_context.get()) : PA_ERR_UNKNOWN));
}

bool PulseConnection::wait(const PulseLock&, const std::function<bool()>& done, int timeoutMs) const {
    Timeout timeout{m_loop.get()};
    struct timeval deadline;
    pa_gettimeofday(&deadline);
    pa_timeval_add(&deadline, static_cast<pa_usec_t>(timeoutMs) * 1000);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop.get());
    pa_time_event* timer = api->time_new(api, &deadline, expireTimeout, &timeout);
    while (!done() && !timeout.expired) {
        pa_threaded_mainloop_wait(m_loop.get());
    }
    api->time_free(timer);
    return done();
}

std::optional<QString> PulseConnection::probe() {
    if (!m_loop) {
        return QStringLiteral("Cannot start the sound client");
    }
    const PulseLock locked = lock();
    QString error;
    if (!connect(locked, &error)) {
        return error;
    }
    const auto settled = [this] {
        const pa_context_state_t state = pa_context_get_state(m_context.get());
        return state == PA_CONTEXT_READY || state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
    };
    if (!wait(locked, settled, probeTimeoutMs)) {
        return unreachable(QStringLiteral("it does not answer"));
    }
    if (!isReady(locked)) {
        return unreachable(lastError(locked));
    }
    SourceProbe result{m_loop.get()};
    PulseOperation operation(
        pa_context_get_source_info_by_name(m_context.get(), "@DEFAULT_SOURCE@", sourceProbed, &result));
    if (!operation) {
        return unreachable(lastError(locked));
    }
    const bool answered = wait(
        locked, [&result] { return result.done; }, probeTimeoutMs);
    // Cancelled on the way out, so the callback never writes into `result` once this returns.
    operation.reset();
    if (!answered) {
        return unreachable(QStringLiteral("it does not answer"));
    }
    if (!result.found) {
        return QStringLiteral("No microphone: the sound server has no input device");
    }
    return std::nullopt;
}

void PulseConnection::stateChanged(pa_context* context, void* userdata) {
    auto* self = static_cast<PulseConnection*>(userdata);
    pa_threaded_mainloop_signal(self->m_loop.get(), 0);
    const PulseLock held = PulseLock::heldByLoop();
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        self->m_listener(held, true);
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        self->m_listener(held, false);
        break;
    default:
        break;
    }
}
