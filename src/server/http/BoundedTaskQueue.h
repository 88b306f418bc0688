#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

// The worker pool behind the listener: a fixed number of threads and a bounded backlog of
// accepted connections. When the backlog is full the accepting thread waits, so further clients
// queue in the kernel's listen backlog instead of in our memory.
class BoundedTaskQueue final : public httplib::TaskQueue {
public:
    BoundedTaskQueue(std::size_t workers, std::size_t backlog);
    ~BoundedTaskQueue() override;
    BoundedTaskQueue(const BoundedTaskQueue&) = delete;
    BoundedTaskQueue& operator=(const BoundedTaskQueue&) = delete;

    void enqueue(std::function<void()> task) override;
    // Whether a task can be queued without waiting.
    bool hasRoom();
    void shutdown() override;

private:
    void work();

    const std::size_t m_backlog;
    std::mutex m_mutex;
    std::condition_variable m_available;
    std::condition_variable m_space;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
