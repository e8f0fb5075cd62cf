#pragma once
// Small portable types shared by the engine, the log and the platform code.
#include <atomic>
#include <cstdint>

// A 32-bit unsigned word, as the Windows headers define it, so portable code and
// Windows code can share one spelling without including the Windows headers here.
#if defined(_WIN32)
typedef unsigned long DWORD;
#else
typedef std::uint32_t DWORD;
#endif
static_assert(sizeof(DWORD) == 4, "DWORD must be a 32-bit word");

// Words shared between the audio, window and frame threads are relaxed atomics:
// on the machines this program runs on they are plain aligned 32-bit loads and
// stores, never locks.
static_assert(std::atomic<int>::is_always_lock_free && sizeof(std::atomic<int>) == 4, "int words must be plain");
static_assert(std::atomic<float>::is_always_lock_free && sizeof(std::atomic<float>) == 4, "float words must be plain");
