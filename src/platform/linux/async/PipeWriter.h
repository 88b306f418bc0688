#pragma once

#include "platform/linux/input/UniqueFd.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

class QSocketNotifier;

// Writes bytes into a pipe without blocking and closes it: what the reader does not take within
// `timeout` is dropped, so a reader that never reads costs nothing but the pipe.
class PipeWriter final : public QObject {
    Q_OBJECT

public:
    // Takes the write end; it is made non-blocking. Writing starts at once.
    PipeWriter(UniqueFd fd, QByteArray data, std::chrono::milliseconds timeout);
    ~PipeWriter() override;
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;

    bool isFinished() const { return m_done; }

signals:
    // Once, when everything was written (`complete`) or the writer gave up.
    void finished(bool complete);

private:
    void writeSome();
    void finish(bool complete);

    UniqueFd m_fd;
    QByteArray m_data;
    qsizetype m_written = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_timeout;
    bool m_done = false;
};
