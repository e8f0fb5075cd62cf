#pragma once
// Small portable types shared by the engine, the log and the platform code.
#include <cstdint>

// A 32-bit unsigned word, as the Windows headers define it, so portable code and
// Windows code can share one spelling without including the Windows headers here.
#if defined(_WIN32)
typedef unsigned long DWORD;
#else
typedef std::uint32_t DWORD;
#endif
static_assert(sizeof(DWORD) == 4, "DWORD must be a 32-bit word");
