#include "platform/linux/wayland/ShmBuffer.h"

#include "core/common/ErrorCode.h"
#include "core/common/ErrorDomain.h"
#include "core/common/PlatformError.h"
#include "platform/linux/input/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

PTTError systemError(const char* what) {
    return PTTError{
        ErrorDomain::platform, errno,
        QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)))};
}

const wl_buffer_listener bufferListener{&ShmBuffer::onRelease};

} // namespace

Result<std::unique_ptr<ShmBuffer>> ShmBuffer::create(wl_shm* shm, QSize size) {
    const int stride = size.width() * 4;
    const std::size_t bytes = std::size_t(stride) * std::size_t(size.height());
    if (shm == nullptr || size.isEmpty()) {
        return makeError(PlatformError::cannotDraw, QStringLiteral("No shared memory for the overlay"));
    }
    UniqueFd fd(memfd_create("orlavo-overlay", MFD_CLOEXEC));
    if (!fd.isValid()) {
        return systemError("memfd_create");
    }
    if (ftruncate(fd.get(), off_t(bytes)) != 0) {
        return systemError("ftruncate");
    }
    void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (data == MAP_FAILED) {
        return systemError("mmap");
    }
    std::unique_ptr<ShmBuffer> made(new ShmBuffer);
    made->m_size = size;
    made->m_data = static_cast<uchar*>(data);
    made->m_bytes = bytes;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd.get(), int(bytes));
    made->m_buffer =
        wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    wl_buffer_add_listener(made->m_buffer, &bufferListener, made.get());
    return made;
}

ShmBuffer::~ShmBuffer() {
    if (m_buffer != nullptr) {
        wl_buffer_destroy(m_buffer);
    }
    if (m_data != nullptr) {
        munmap(m_data, m_bytes);
    }
}

void ShmBuffer::fill(const QImage& frame) {
    // ARGB8888 in the byte order of this machine is Qt's premultiplied ARGB32.
    const QImage source = frame.format() == QImage::Format_ARGB32_Premultiplied
                              ? frame
                              : frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int rowBytes = m_size.width() * 4;
    const int rows = std::min(m_size.height(), source.height());
    const int copied = std::min(rowBytes, int(source.bytesPerLine()));
    std::memset(m_data, 0, m_bytes);
    for (int row = 0; row < rows; ++row) {
        std::memcpy(m_data + std::size_t(row) * std::size_t(rowBytes), source.constScanLine(row),
                    std::size_t(copied));
    }
    m_busy = true;
}

void ShmBuffer::onRelease(void* data, wl_buffer*) {
    auto* self = static_cast<ShmBuffer*>(data);
    self->m_busy = false;
    if (self->m_onReleased) {
        self->m_onReleased();
    }
}
