#include "Worker.h"

#include <utility>

Worker::Worker() : m_thread(&Worker::Run, this) {}

Worker::~Worker() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void Worker::Start(std::function<void()> task) {
    {
        const std::lock_guard lock(m_mutex);
        m_task = std::move(task);
        m_busy = true;
    }
    m_changed.notify_all();
}

bool Worker::Busy() {
    const std::lock_guard lock(m_mutex);
    return m_busy;
}

void Worker::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
}

void Worker::Settle() noexcept {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
}

void Worker::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_busy || m_stopping; });
        if (!m_busy) return;
        const std::function<void()> task = std::move(m_task);
        lock.unlock();
        std::exception_ptr error;
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_error = error;
        m_busy = false;
        m_changed.notify_all();
    }
}
