#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// One background thread that runs one task at a time, kept for a whole conversion so that every
// block does not pay for a new thread.
class Worker {
public:
    Worker();
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Call only when no task runs.
    void Start(std::function<void()> task);
    bool Busy();
    // Waits for the task started last; rethrows what it threw.
    void Wait();

    // Waits without rethrowing, for paths that are already failing.
    void Settle() noexcept;

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_task;
    bool m_busy = false;
    bool m_stopping = false;
    std::exception_ptr m_error;
    std::thread m_thread;  // last: starts once the members above exist
};
