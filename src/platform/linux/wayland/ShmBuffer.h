#pragma once

#include "core/common/Result.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>

struct wl_buffer;
struct wl_shm;

// One ARGB picture in shared memory that the compositor reads (wl_shm). Busy from attach until
// the compositor releases it; only a free buffer may be written.
class ShmBuffer final {
public:
    static Result<std::unique_ptr<ShmBuffer>> create(wl_shm* shm, QSize size);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    QSize size() const { return m_size; }
    wl_buffer* buffer() const { return m_buffer; }
    bool isBusy() const { return m_busy; }
    // Copies `frame` in (converted to premultiplied ARGB if need be) and marks the buffer busy.
    void fill(const QImage& frame);

    // Called when the compositor gives the buffer back.
    void setOnReleased(std::function<void()> handler) { m_onReleased = std::move(handler); }

    // The buffer's listener.
    static void onRelease(void* data, wl_buffer* buffer);

private:
    ShmBuffer() = default;

    QSize m_size;
    wl_buffer* m_buffer = nullptr;
    uchar* m_data = nullptr;
    std::size_t m_bytes = 0;
    bool m_busy = false;
    std::function<void()> m_onReleased;
};
