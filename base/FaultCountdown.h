#pragma once
// Fault injection for tests of every failure path: the n-th request from now on
// fails, once. Each heap keeps its own countdown.
#include <atomic>

class CFaultCountdown
{
public:
    // n <= 0: nothing fails.
    void FailAt(int n);
    // True for exactly the n-th call after FailAt(n).
    bool MustFail();

private:
    std::atomic<int> m_iCountdown{0};
};
