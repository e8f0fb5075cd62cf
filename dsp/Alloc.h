#pragma once
// The counted allocator: every float array of the engine goes through AllocBuf and
// FreeBuf, so the exit log can show what is still held.
#include <atomic>
#include <new>

#include "base/Types.h"

// Bytes and blocks currently held. Written by whichever thread (re)initialises the
// engine, read at exit, hence atomic words.
extern std::atomic<DWORD> g_dwMemCount;
extern std::atomic<DWORD> g_dwMemBlockCount;

// count floats, zero-filled; null on failure (nothing is counted then).
float* AllocBuf(int count);
// Frees p (nothing for null) and returns null, so callers write p = FreeBuf(p, n).
float* FreeBuf(float* p, int count);

// Fault injection for tests: the n-th allocation from now on fails, counting both
// AllocBuf and NewArray; 0 switches it off.
void SetAllocFailAt(int n);
// True when the allocation about to be made must fail (consumes one count).
bool AllocMustFail();

// Plain heap arrays of objects (filter banks) share the fault injection.
template <class T>
T* NewArray(int n)
{
    if (n <= 0 || AllocMustFail())
        return nullptr;
    return new (std::nothrow) T[n];
}
