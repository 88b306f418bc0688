#include "platform/linux/async/PipeWriter.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A reader that closes its end early must not kill us: write() then fails with EPIPE instead.
void ignoreBrokenPipes() {
    static const bool ignored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)ignored;
}

} // namespace

PipeWriter::PipeWriter(UniqueFd fd, QByteArray data, std::chrono::milliseconds timeout)
    : m_fd(std::move(fd))
    , m_data(std::move(data)) {
    ignoreBrokenPipes();
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { finish(false); });
    if (!m_fd.isValid() || ::fcntl(m_fd.get(), F_SETFL, ::fcntl(m_fd.get(), F_GETFL) | O_NONBLOCK) < 0) {
        // Reported from the event loop, so the caller has connected to finished() by then.
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd.get(), QSocketNotifier::Write);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PipeWriter::writeSome);
    m_timeout.start(timeout);
}

PipeWriter::~PipeWriter() = default;

void PipeWriter::writeSome() {
    while (!m_done && m_written < m_data.size()) {
        const ssize_t count = ::write(m_fd.get(), m_data.constData() + m_written,
                                      static_cast<size_t>(m_data.size() - m_written));
        if (count > 0) {
            m_written += count;
        } else if (count < 0 && errno == EAGAIN) {
            return;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            finish(false);
            return;
        }
    }
    if (!m_done) {
        finish(true);
    }
}

void PipeWriter::finish(bool complete) {
    if (m_done) {
        return;
    }
    m_done = true;
    m_timeout.stop();
    m_notifier.reset();
    m_fd.reset();
    m_data = QByteArray();
    emit finished(complete);
}
