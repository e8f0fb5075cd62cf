#pragma once
// A plain lock that one thread may take again while holding it. The Windows builds
// use the system's critical section: the toolchain's std::mutex comes with a
// thread library whose imports Windows XP does not have.
#if !defined(_WIN32)
#include <mutex>
#endif

class CLock
{
public:
    CLock();
    ~CLock();
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    // For std::lock_guard.
    void lock();
    bool try_lock();
    void unlock();

private:
#if defined(_WIN32)
    // Room for a CRITICAL_SECTION (24 bytes on 32-bit Windows, 40 on 64-bit),
    // kept opaque so that this header stays free of the Windows headers.
    alignas(8) unsigned char m_Section[40];
#else
    std::recursive_mutex m_Mutex;
#endif
};
