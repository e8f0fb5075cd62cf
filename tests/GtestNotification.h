#pragma once
// GoogleTest's Notification for the Windows builds: its own one needs
// std::mutex and std::condition_variable, which the Windows runtime lacks (it
// keeps to what Windows XP has). Only GoogleTest's thread helper uses it.
#include <atomic>
#include <thread>

namespace testing {
namespace internal {

class Notification
{
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { m_bNotified.store(true); }
    void WaitForNotification()
    {
        while (!m_bNotified.load())
            std::this_thread::yield();
    }

private:
    std::atomic<bool> m_bNotified{false};
};

}  // namespace internal
}  // namespace testing
