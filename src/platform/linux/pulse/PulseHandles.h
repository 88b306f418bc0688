#pragma once

#include <memory>
#include <pulse/pulseaudio.h>

// The client library's handles, each released by its own deleter. Contexts, streams and
// operations belong to the threaded main loop: release them only with its lock held.

struct PulseMainLoopDeleter {
    void operator()(pa_threaded_mainloop* loop) const {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
};

struct PulseContextDeleter {
    void operator()(pa_context* context) const {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

struct PulseStreamDeleter {
    void operator()(pa_stream* stream) const {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
};

// Cancelling keeps the callback from writing into state that is going away.
struct PulseOperationDeleter {
    void operator()(pa_operation* operation) const {
        pa_operation_cancel(operation);
        pa_operation_unref(operation);
    }
};

struct PulsePropertiesDeleter {
    void operator()(pa_proplist* properties) const { pa_proplist_free(properties); }
};

using PulseMainLoop = std::unique_ptr<pa_threaded_mainloop, PulseMainLoopDeleter>;
using PulseContext = std::unique_ptr<pa_context, PulseContextDeleter>;
using PulseStream = std::unique_ptr<pa_stream, PulseStreamDeleter>;
using PulseOperation = std::unique_ptr<pa_operation, PulseOperationDeleter>;
using PulseProperties = std::unique_ptr<pa_proplist, PulsePropertiesDeleter>;
