#pragma once

#include "platform/linux/input/UniqueFd.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;

// Reads a pipe to its end without blocking: bytes are taken as the event loop sees them arrive.
// Gives up (and closes the pipe) past `maxBytes`, so a writer cannot fill our memory.
class PipeReader final : public QObject {
    Q_OBJECT

public:
    enum class State { reading, complete, failed };

    // Takes the read end; it is made non-blocking.
    PipeReader(UniqueFd fd, qsizetype maxBytes);
    ~PipeReader() override;
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    State state() const { return m_state; }
    const QByteArray& data() const { return m_data; }
    // Stops reading; what arrived so far stays, marked failed.
    void abandon();

signals:
    // After every chunk, with the total so far.
    void progressed(qsizetype total);
    // Once: complete or failed.
    void finished();

private:
    void readAvailable();
    void finish(State state);

    UniqueFd m_fd;
    qsizetype m_maxBytes;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_data;
    State m_state = State::reading;
};
