#include "base/Clock.h"

#include <chrono>

// Milliseconds of a monotonic clock, wrapping at 2^32 like the Windows timer.
DWORD TimeMs()
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now().time_since_epoch())
                  .count();
    return static_cast<DWORD>(static_cast<unsigned long long>(ms));
}
