#include "core/audio/SampleRing.h"

#include <algorithm>
#include <bit>
#include <cstring>

SampleRing::SampleRing(std::size_t capacity)
    : m_buffer(std::bit_ceil(std::max<std::size_t>(capacity, 2)))
    , m_mask(m_buffer.size() - 1) {}

std::size_t SampleRing::write(const qint16* samples, std::size_t count) {
    const std::size_t written = m_written.load(std::memory_order_relaxed);
    const std::size_t read = m_read.load(std::memory_order_acquire);
    const std::size_t room = m_buffer.size() - (written - read);
    const std::size_t accepted = std::min(count, room);
    const std::size_t start = written & m_mask;
    const std::size_t first = std::min(accepted, m_buffer.size() - start);
    std::memcpy(m_buffer.data() + start, samples, first * sizeof(qint16));
    std::memcpy(m_buffer.data(), samples + first, (accepted - first) * sizeof(qint16));
    m_written.store(written + accepted, std::memory_order_release);
    return accepted;
}

std::size_t SampleRing::readInto(std::vector<qint16>& out) {
    const std::size_t read = m_read.load(std::memory_order_relaxed);
    const std::size_t written = m_written.load(std::memory_order_acquire);
    const std::size_t available = written - read;
    const std::size_t start = read & m_mask;
    const std::size_t first = std::min(available, m_buffer.size() - start);
    out.insert(out.end(), m_buffer.begin() + static_cast<std::ptrdiff_t>(start),
               m_buffer.begin() + static_cast<std::ptrdiff_t>(start + first));
    out.insert(out.end(), m_buffer.begin(),
               m_buffer.begin() + static_cast<std::ptrdiff_t>(available - first));
    m_read.store(written, std::memory_order_release);
    return available;
}

void SampleRing::clear() {
    m_written.store(0, std::memory_order_relaxed);
    m_read.store(0, std::memory_order_relaxed);
}
