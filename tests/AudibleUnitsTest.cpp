#include <gtest/gtest.h>

#include <algorithm>

#include "dsp/Level.h"
#include "dsp/Limiter.h"
#include "dsp/Mixer.h"
#include "dsp/StreamParams.h"
#include "render/RedrawRequest.h"

namespace {

class AudibleUnitsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 8);
        ASSERT_EQ(in.Init("test", "in", g_iBufMonoLen, g_iBlockSize), 1);
        g_iRedrawCommand = 0;
    }
    void TearDown() override
    {
        in.Release("test", "in");
        g_iRedrawCommand = 0;
    }
    // Fills the block at offset of both channels.
    void Fill(int offset, float left, float right)
    {
        std::fill(in.Channel(0) + offset, in.Channel(0) + offset + g_iBlockSize, left);
        std::fill(in.Channel(1) + offset, in.Channel(1) + offset + g_iBlockSize, right);
    }
    CSampleBuffer in;
};

TEST_F(AudibleUnitsTest, BalanceLawKeepsCentreAtUnity)
{
    const struct { float balance, left, right; } cases[] = {
        {0.5f, 1.0f, 1.0f}, {0.25f, 1.0f, 0.5f}, {0.75f, 0.5f, 1.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 1.0f}};
    for (const auto& c : cases)
    {
        float l = -1.0f, r = -1.0f;
        Mixer::BalanceGains(c.balance, l, r);
        EXPECT_EQ(l, c.left) << c.balance;
        EXPECT_EQ(r, c.right) << c.balance;
    }
}

TEST_F(AudibleUnitsTest, MixerStagesApplyTheirOwnGainAndBalance)
{
    Mixer mixer;
    ASSERT_EQ(mixer.Init(), 1);
    mixer.m_fInputGain = 2.0f;
    mixer.m_fInputBalance = 0.25f;
    Fill(g_iBlockSize, 1000.0f, 1000.0f);
    const CSampleBuffer* out = mixer.ProcessIn(&in, g_iBlockSize);
    EXPECT_EQ(out, &mixer.m_fOutput);
    EXPECT_EQ(out->Channel(0)[g_iBlockSize], 2000.0f);
    EXPECT_EQ(out->Channel(1)[g_iBlockSize + g_iBlockSize - 1], 1000.0f);
    // The other half is untouched.
    EXPECT_EQ(out->Channel(0)[0], 0.0f);

    // Default output stage: half amplitude, centred.
    Fill(0, 32767.0f, -32768.0f);
    out = mixer.ProcessOut(&in, 0);
    EXPECT_EQ(out->Channel(0)[0], 16383.5f);
    EXPECT_EQ(out->Channel(1)[0], -16384.0f);
    mixer.Release();
}

TEST_F(AudibleUnitsTest, LimiterHoldsTheGainOfTheLastOverBlock)
{
    Limiter limiter;
    ASSERT_EQ(limiter.Init(), 1);

    Fill(0, 30000.0f, -30000.0f);  // exactly at the threshold: not over
    limiter.Process(&in, 0);
    EXPECT_EQ(limiter.m_fGain, 1.0f);
    EXPECT_EQ(g_iRedrawCommand.load(), 0);

    Fill(g_iBlockSize, 1000.0f, 0.0f);
    in.Channel(1)[g_iBlockSize + 3] = -33000.0f;  // 1.1 x threshold, negative side
    const CSampleBuffer* out = limiter.Process(&in, g_iBlockSize);
    EXPECT_FLOAT_EQ(limiter.m_fGain, 1.0f / 1.1f);
    EXPECT_FLOAT_EQ(out->Channel(1)[g_iBlockSize + 3], -30000.0f);
    EXPECT_EQ(g_iRedrawCommand.load(), 21);

    Fill(0, 100.0f, 100.0f);  // quiet blocks keep the reduced gain
    out = limiter.Process(&in, 0);
    EXPECT_FLOAT_EQ(out->Channel(0)[0], 100.0f / 1.1f);

    // A smaller over-peak raises the gain, still below 1, and leaves a pending
    // button redraw in place.
    g_iRedrawCommand = 0;
    ASSERT_EQ(RequestRedraw(11, 2, 11, 2), 1);
    Fill(g_iBlockSize, 31500.0f, 0.0f);
    limiter.Process(&in, g_iBlockSize);
    EXPECT_FLOAT_EQ(limiter.m_fGain, 30000.0f / 31500.0f);
    EXPECT_EQ(g_iRedrawCommand.load(), 11);
    EXPECT_EQ(g_iRedrawIndex.load(), 2);

    limiter.Release();
    ASSERT_EQ(limiter.Init(), 1);  // a stream restart starts afresh
    EXPECT_EQ(limiter.m_fGain, 1.0f);
    limiter.Release();
}

TEST_F(AudibleUnitsTest, LevelHoldsTheLowestPeakOfThreeBlocks)
{
    Level level;
    ASSERT_EQ(level.Init(), 1);

    Fill(0, 500.0f, 20.0f);  // all positive: no peak
    level.ProcessIn(&in, 0);
    EXPECT_EQ(level.m_In.m_fBlockPeak[0].load(), 0.0f);
    EXPECT_EQ(level.m_In.m_fHeldPeak[1].load(), 0.0f);

    Fill(g_iBlockSize, 0.0f, 0.0f);
    in.Channel(0)[g_iBlockSize + 5] = -32767.0f;
    in.Channel(1)[g_iBlockSize + 1] = -100.0f;
    const CSampleBuffer* out = level.ProcessIn(&in, g_iBlockSize);
    EXPECT_EQ(out->Channel(0)[g_iBlockSize + 5], -32767.0f);  // copied through
    EXPECT_EQ(level.m_In.m_fHeldPeak[0].load(), -32767.0f);
    EXPECT_EQ(level.m_In.m_fHeldPeak[1].load(), -100.0f);

    // Held for the current and two previous blocks, then gone in one step.
    Fill(0, -10.0f, -10.0f);
    level.ProcessIn(&in, 0);
    EXPECT_EQ(level.m_In.m_fHeldPeak[0].load(), -32767.0f);
    level.ProcessIn(&in, 0);
    EXPECT_EQ(level.m_In.m_fHeldPeak[0].load(), -32767.0f);
    level.ProcessIn(&in, 0);
    EXPECT_EQ(level.m_In.m_fHeldPeak[0].load(), -10.0f);
    EXPECT_EQ(level.m_In.m_fBlockPeak[0].load(), -10.0f);

    // The output side keeps its own histories.
    EXPECT_EQ(level.m_Out.m_fHeldPeak[0].load(), 0.0f);
    level.ProcessOut(&in, 0);
    EXPECT_EQ(level.m_Out.m_fHeldPeak[0].load(), -10.0f);
    level.Release();
}

} // namespace
