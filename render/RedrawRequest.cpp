#include "render/RedrawRequest.h"

std::atomic<int> g_iRedrawCommand{0};
std::atomic<int> g_iRedrawIndex{0};
std::atomic<int> g_iLastCommand{0};
std::atomic<int> g_iLastIndex{0};

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

int RequestRedraw(int iCommand, int iIndex, int iLastCommand, int iLastIndex)
{
    const int iPending = g_iRedrawCommand.load(kRelaxed);
    if (iPending != 0 && iPending != iCommand)
        return 0;
    g_iRedrawCommand.store(iCommand, kRelaxed);
    g_iRedrawIndex.store(iIndex, kRelaxed);
    g_iLastCommand.store(iLastCommand, kRelaxed);
    g_iLastIndex.store(iLastIndex, kRelaxed);
    return 1;
}

int RequestRedrawIfIdle(int iCommand, int iIndex)
{
    if (g_iRedrawCommand.load(kRelaxed) != 0)
        return 0;
    g_iRedrawCommand.store(iCommand, kRelaxed);
    g_iRedrawIndex.store(iIndex, kRelaxed);
    return 1;
}
