#include "SideThread.h"

#include <system_error>
#include <utility>

namespace tandrel {

SideThread::~SideThread() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

bool SideThread::Run(std::function<void()> task) {
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { Main(); });
        } catch (const std::system_error&) {
            return false;  // no thread to be had (a process limit): nothing is lost
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_task = std::move(task);
    }
    m_cv.notify_all();
    return true;
}

void SideThread::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [this] { return !m_task; });
    if (m_thrown) {
        std::rethrow_exception(std::exchange(m_thrown, nullptr));
    }
}

void SideThread::Main() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_quit || m_task; });
        if (!m_task) {
            return;  // quitting with nothing left to do
        }
        lock.unlock();
        std::exception_ptr thrown;
        try {
            m_task();
        } catch (...) {
            thrown = std::current_exception();
        }
        lock.lock();
        m_thrown = thrown;
        m_task = nullptr;
        m_cv.notify_all();
    }
}

}  // namespace tandrel
