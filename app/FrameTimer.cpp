#include "app/FrameTimer.h"

#include <atomic>
#include <mutex>

#include "base/Lock.h"

#include "panel/FrameTick.h"

UINT g_uFrameTimer = 0;

namespace {

// A tick draws while it holds the lock; shutdown sets g_bStopped under the lock,
// so a tick the timer had already dispatched when it was killed draws nothing.
// Starting takes no lock: a restart runs on the window's thread, which a tick in
// progress may be waiting for.
CLock g_TickLock;
std::atomic<bool> g_bStopped{false};
std::atomic<LPTIMECALLBACK> g_pfnTick{nullptr};

void CALLBACK GuardedTick(UINT uTimerId, UINT uMessage, DWORD_PTR user, DWORD_PTR r1, DWORD_PTR r2)
{
    std::lock_guard<CLock> lock(g_TickLock);
    if (!g_bStopped.load(std::memory_order_relaxed))
        g_pfnTick.load(std::memory_order_relaxed)(uTimerId, uMessage, user, r1, r2);
}

void CALLBACK PanelTick(UINT uTimerId, UINT uMessage, DWORD_PTR user, DWORD_PTR r1, DWORD_PTR r2)
{
    FrameTick(uTimerId, uMessage, user, r1, r2);
}

} // namespace

void StartFrameTimerWith(LPTIMECALLBACK pfnTick, UINT uPeriodMs)
{
    g_pfnTick.store(pfnTick, std::memory_order_relaxed);
    g_bStopped.store(false, std::memory_order_relaxed);
    g_uFrameTimer = timeSetEvent(uPeriodMs, 0, &GuardedTick, 0, TIME_PERIODIC);
}

void StartFrameTimer()
{
    StartFrameTimerWith(&PanelTick, 100);
}

bool StopFrameTimer(DWORD dwDeadlineMs)
{
    timeKillEvent(g_uFrameTimer);
    g_uFrameTimer = 0;
    const DWORD dwStart = GetTickCount();
    while (!g_TickLock.try_lock())
    {
        if (GetTickCount() - dwStart >= dwDeadlineMs)
            return false;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
    g_bStopped.store(true, std::memory_order_relaxed);
    g_TickLock.unlock();
    return true;
}
