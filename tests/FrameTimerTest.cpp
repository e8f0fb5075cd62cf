// Shutdown ends the frame timer before it releases what the ticks draw with: no
// tick may draw after StopFrameTimer has said so, and a tick that does not end
// holds the release back.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "app/FrameTimer.h"
#include "tests/TestSupport.h"

namespace {

std::atomic<int> g_iTicks{0};
std::atomic<int> g_iInside{0};
std::atomic<bool> g_bReleased{false};   // stands for the released device
std::atomic<int> g_iDrewReleased{0};
HANDLE g_hHold = nullptr;               // a tick waits on it while it is reset

void CALLBACK SlowTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
    g_iInside.fetch_add(1);
    g_iTicks.fetch_add(1);
    WaitForSingleObject(g_hHold, INFINITE);
    Sleep(2);  // drawing takes a while: a stop lands in the middle of it
    if (g_bReleased.load())
        g_iDrewReleased.fetch_add(1);
    g_iInside.fetch_sub(1);
}

class FrameTimer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_hHold = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        g_iTicks = 0;
        g_iDrewReleased = 0;
        g_bReleased = false;
    }
    void TearDown() override
    {
        SetEvent(g_hHold);
        StopFrameTimer(static_cast<DWORD>(kWaitSeconds * 1000));
        CloseHandle(g_hHold);
    }
};

TEST_F(FrameTimer, NoTickDrawsAfterTheStopEvenWhenOneWasUnderWay)
{
    for (int round = 0; round < 30; ++round)
    {
        g_bReleased = false;
        const int ticksBefore = g_iTicks.load();
        StartFrameTimerWith(&SlowTick, 1);
        ASSERT_TRUE(WaitUntil([&] { return g_iTicks.load() >= ticksBefore + 2; })) << "round " << round;
        ASSERT_TRUE(StopFrameTimer(static_cast<DWORD>(kWaitSeconds * 1000))) << "round " << round;
        EXPECT_EQ(g_iInside.load(), 0) << "round " << round;
        g_bReleased = true;
    }
    // Ticks the timer dispatched before it was killed come late on a busy machine;
    // half a second is long beside a 1 ms period.
    Sleep(500);
    EXPECT_EQ(g_iDrewReleased.load(), 0);
    EXPECT_EQ(g_iInside.load(), 0);
}

TEST_F(FrameTimer, ATickThatDoesNotEndHoldsTheReleaseBack)
{
    ResetEvent(g_hHold);
    StartFrameTimerWith(&SlowTick, 10);
    ASSERT_TRUE(WaitUntil([] { return g_iInside.load() == 1; }));
    EXPECT_FALSE(StopFrameTimer(200));
    SetEvent(g_hHold);
    EXPECT_TRUE(StopFrameTimer(static_cast<DWORD>(kWaitSeconds * 1000)));
    EXPECT_EQ(g_iInside.load(), 0);
}

} // namespace
