#pragma once

#include <atomic>

namespace tandrel {

// Wakes one thread that waits for something another thread (or a signal handler) makes true.
// The waiter checks its condition, then Waits; the other side makes the condition true, then
// Notifies. A Notify between the check and the Wait is kept, so no wake-up is lost, and the
// waiter sleeps in the kernel meanwhile instead of looking again and again.
//
// The eventfd behind it is made by the first Open and kept until the object goes, so that an
// object never waited on holds no descriptor, and Notify never writes to a descriptor that was
// closed (and maybe reused) under it.
//
// Threads: Notify from any thread, and from a signal handler (it only writes to the eventfd);
// Open, Clear and Wait from the one waiting thread.
class WakeEvent {
  public:
    WakeEvent() = default;
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // Makes the eventfd unless it is there; false when the kernel gave none (nothing can be
    // waited for then).
    bool Open();
    // Async-signal-safe; keeps errno. Nothing happens before the first Open.
    void Notify();
    // Forgets the Notifies so far (call before the condition is looked at for the first time).
    void Clear();
    // Returns once Notify was called since the last Clear or Wait (at once if it was already);
    // false when waiting failed or the event is not open.
    bool Wait();

  private:
    std::atomic<int> m_fd{-1};
};

}  // namespace tandrel
