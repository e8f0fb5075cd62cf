// The layer's GUID helpers, debug output and fault-injectable heap.
#include "audio/ks/KsDefs.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "base/FaultCountdown.h"

int g_iKsDebugLevel = 0;

GUID KsWaveFormatGuid(WORD wTag)
{
    GUID g = kKsSubtypePcm;
    g.Data1 = wTag;
    return g;
}

bool KsIsWaveFormatGuid(const GUID& g)
{
    GUID tail = g;
    tail.Data1 &= 0xFFFF0000u;  // the tag sits in the low word; the rest is fixed
    tail.Data1 |= 1;
    return (g.Data1 & 0xFFFF0000u) == 0 && KsGuidEqual(tail, kKsSubtypePcm);
}

void KsDebug(int iLevel, const char* szFormat, ...)
{
    if (iLevel > g_iKsDebugLevel)
        return;
    char szText[260];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(szText, sizeof(szText), szFormat, args);
    va_end(args);
    OutputDebugStringA(szText);
}

namespace {
CFaultCountdown s_Faults;
}

void KsSetAllocFailAt(int n) { s_Faults.FailAt(n); }

bool KsAllocMustFail() { return s_Faults.MustFail(); }

namespace {
std::atomic<int> s_iLive{0};
}

void* KsAlloc(size_t bytes)
{
    void* p = KsAllocMustFail() ? nullptr : std::malloc(bytes);
    if (p)
        s_iLive.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void KsFree(void* p)
{
    if (p)
        s_iLive.fetch_sub(1, std::memory_order_relaxed);
    std::free(p);
}

int KsLiveAllocations() { return s_iLive.load(std::memory_order_relaxed); }
