#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace tandrel {

// A second thread that runs one task at a time for its owner, so that the walk can read the
// destination on one core while it reads the source on the other. The thread is started with
// the first task and ends with the object. Owner thread only (Run, Wait and the destructor).
class SideThread {
  public:
    SideThread() = default;
    ~SideThread();
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;

    // Starts `task` on the side thread. The previous task must have been waited for. False
    // (and the task not taken) when the thread cannot be started: the caller then does the
    // work itself.
    bool Run(std::function<void()> task);
    // Returns once the task given to Run has finished; at once when none is running. What the
    // task threw is thrown here.
    void Wait();

  private:
    void Main();

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::function<void()> m_task;  // set while a task is waiting or running
    std::exception_ptr m_thrown;
    bool m_quit = false;
};

}  // namespace tandrel
