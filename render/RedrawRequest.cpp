#include "render/RedrawRequest.h"

std::atomic<int> g_bPanelDrawn{0};
std::atomic<int> g_iRedrawCommand{0};
std::atomic<int> g_iRedrawIndex{0};
std::atomic<int> g_iLastCommand{0};
std::atomic<int> g_iLastIndex{0};

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

int RequestRedraw(int iCommand, int iIndex, int iLastCommand, int iLastIndex)
{
    // The limiter's lamp is re-posted with every loud block; a control the user
    // just clicked must not wait behind it, so its request takes that one's place.
    int iPending = g_iRedrawCommand.load(kRelaxed);
    do
    {
        if (iPending != 0 && iPending != iCommand && iPending != CMD_LIMITER)
            return 0;
    } while (!g_iRedrawCommand.compare_exchange_weak(iPending, iCommand, kRelaxed));
    g_iRedrawIndex.store(iIndex, kRelaxed);
    g_iLastCommand.store(iLastCommand, kRelaxed);
    g_iLastIndex.store(iLastIndex, kRelaxed);
    return 1;
}

int RequestRedrawIfIdle(int iCommand, int iIndex)
{
    // One step, so a request the window thread makes meanwhile is never overwritten.
    int iIdle = 0;
    if (!g_iRedrawCommand.compare_exchange_strong(iIdle, iCommand, kRelaxed))
        return 0;
    g_iRedrawIndex.store(iIndex, kRelaxed);
    return 1;
}

void RequestFullRedraw()
{
    g_bPanelDrawn.store(0, kRelaxed);
}
