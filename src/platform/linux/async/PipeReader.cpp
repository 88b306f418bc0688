#include "platform/linux/async/PipeReader.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

PipeReader::PipeReader(UniqueFd fd, qsizetype maxBytes)
    : m_fd(std::move(fd))
    , m_maxBytes(maxBytes) {
    if (!m_fd.isValid() || ::fcntl(m_fd.get(), F_SETFL, ::fcntl(m_fd.get(), F_GETFL) | O_NONBLOCK) < 0) {
        m_state = State::failed;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PipeReader::readAvailable);
}

PipeReader::~PipeReader() = default;

void PipeReader::abandon() {
    if (m_state == State::reading) {
        finish(State::failed);
    }
}

void PipeReader::readAvailable() {
    std::array<char, 64 * 1024> buffer;
    while (m_state == State::reading) {
        const ssize_t count = ::read(m_fd.get(), buffer.data(), buffer.size());
        if (count > 0) {
            if (m_data.size() + count > m_maxBytes) {
                finish(State::failed);
                return;
            }
            m_data.append(buffer.data(), count);
            emit progressed(m_data.size());
        } else if (count == 0) {
            finish(State::complete);
        } else if (errno == EAGAIN) {
            return;
        } else if (errno != EINTR) {
            finish(State::failed);
        }
    }
}

void PipeReader::finish(State state) {
    m_state = state;
    m_notifier.reset();
    m_fd.reset();
    emit finished();
}
