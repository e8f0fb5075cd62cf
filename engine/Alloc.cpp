#include "engine/Alloc.h"

#include <cstdlib>

std::atomic<DWORD> g_dwMemCount{0};
std::atomic<DWORD> g_dwMemBlockCount{0};

namespace {
std::atomic<int> s_iFailCountdown{0};
}

void SetAllocFailAt(int n)
{
    s_iFailCountdown.store(n < 0 ? 0 : n, std::memory_order_relaxed);
}

bool AllocMustFail()
{
    int n = s_iFailCountdown.load(std::memory_order_relaxed);
    if (n <= 0)
        return false;
    s_iFailCountdown.store(n - 1, std::memory_order_relaxed);
    return n == 1;
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
