#pragma once

#include "server/service/ServiceEngines.h"

#include <memory>
#include <mutex>

// The engines in use, replaceable while requests run. A request takes the current set once and
// keeps it to its end, so a reload never changes the engine under a running transcription; the
// engines of the old set are freed when its last request finishes.
class LiveEngines final {
public:
    explicit LiveEngines(ServiceEngines engines)
        : m_current(std::make_shared<const ServiceEngines>(std::move(engines))) {}
    LiveEngines(const LiveEngines&) = delete;
    LiveEngines& operator=(const LiveEngines&) = delete;

    std::shared_ptr<const ServiceEngines> current() const {
        const std::lock_guard lock(m_mutex);
        return m_current;
    }

    void replace(ServiceEngines engines) {
        auto next = std::make_shared<const ServiceEngines>(std::move(engines));
        {
            const std::lock_guard lock(m_mutex);
            m_current.swap(next);
        }
        // `next` holds the old set now, let go outside the lock: freeing decoders takes a while.
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const ServiceEngines> m_current;
};
