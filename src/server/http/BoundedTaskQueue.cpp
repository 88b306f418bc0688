#include "server/http/BoundedTaskQueue.h"

BoundedTaskQueue::BoundedTaskQueue(std::size_t workers, std::size_t backlog)
    : m_backlog(std::max<std::size_t>(1, backlog)) {
    for (std::size_t i = 0; i < std::max<std::size_t>(1, workers); ++i) {
        m_threads.emplace_back([this] { work(); });
    }
}

BoundedTaskQueue::~BoundedTaskQueue() {
    shutdown();
}

void BoundedTaskQueue::enqueue(std::function<void()> task) {
    std::unique_lock lock(m_mutex);
    m_space.wait(lock, [this] { return m_tasks.size() < m_backlog || m_stopping; });
    if (m_stopping) {
        lock.unlock();
        task(); // the library closes the socket inside the task; never leak it
        return;
    }
    m_tasks.push_back(std::move(task));
    lock.unlock();
    m_available.notify_one();
}

bool BoundedTaskQueue::hasRoom() {
    const std::lock_guard lock(m_mutex);
    return m_tasks.size() < m_backlog && !m_stopping;
}

void BoundedTaskQueue::shutdown() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping && m_threads.empty()) {
            return;
        }
        m_stopping = true;
    }
    m_available.notify_all();
    m_space.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    m_threads.clear();
}

void BoundedTaskQueue::work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_available.wait(lock, [this] { return !m_tasks.empty() || m_stopping; });
            if (m_tasks.empty()) {
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        m_space.notify_one();
        task();
    }
}
