#include "base/FaultCountdown.h"

void CFaultCountdown::FailAt(int n)
{
    m_iCountdown.store(n < 0 ? 0 : n, std::memory_order_relaxed);
}

bool CFaultCountdown::MustFail()
{
    const int n = m_iCountdown.load(std::memory_order_relaxed);
    if (n <= 0)
        return false;
    m_iCountdown.store(n - 1, std::memory_order_relaxed);
    return n == 1;
}
