#include "dsp/Alloc.h"

#include <cstdlib>

#include "base/FaultCountdown.h"

std::atomic<DWORD> g_dwMemCount{0};
std::atomic<DWORD> g_dwMemBlockCount{0};

namespace {
CFaultCountdown s_Faults;
}

void SetAllocFailAt(int n)
{
    s_Faults.FailAt(n);
}

bool AllocMustFail()
{
    return s_Faults.MustFail();
}

float* AllocBuf(int count)
{
    if (count <= 0 || AllocMustFail())
        return nullptr;
    float* p = static_cast<float*>(std::calloc(static_cast<size_t>(count), sizeof(float)));
    if (!p)
        return nullptr;
    g_dwMemCount.fetch_add(static_cast<DWORD>(count) * 4u, std::memory_order_relaxed);
    g_dwMemBlockCount.fetch_add(1u, std::memory_order_relaxed);
    return p;
}

float* FreeBuf(float* p, int count)
{
    if (!p)
        return nullptr;
    std::free(p);
    g_dwMemCount.fetch_sub(static_cast<DWORD>(count) * 4u, std::memory_order_relaxed);
    g_dwMemBlockCount.fetch_sub(1u, std::memory_order_relaxed);
    return nullptr;
}
