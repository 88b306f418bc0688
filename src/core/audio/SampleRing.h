#pragma once

#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <vector>

// Hands converted samples from the audio thread to the main thread without a lock: one producer
// writes, one consumer reads, and the storage is allocated once, up front.
class SampleRing final {
    Q_DISABLE_COPY_MOVE(SampleRing)

public:
    // `capacity` is rounded up to a power of two.
    explicit SampleRing(std::size_t capacity);

    std::size_t capacity() const { return m_buffer.size(); }

    // Producer. Writes what fits and answers how many samples that was.
    std::size_t write(const qint16* samples, std::size_t count);

    // Consumer. Appends every sample written so far to `out`; answers how many.
    std::size_t readInto(std::vector<qint16>& out);

    // Only while neither side runs.
    void clear();

private:
    std::vector<qint16> m_buffer;
    std::size_t m_mask = 0;
    // Running totals; positions in the buffer are taken modulo its size.
    alignas(64) std::atomic<std::size_t> m_written{0};
    alignas(64) std::atomic<std::size_t> m_read{0};
};
