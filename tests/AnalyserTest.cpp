#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/Analyser.h"
#include "dsp/NoteTable.h"
#include "dsp/StreamParams.h"
#include "tests/TestSupport.h"

namespace {

class AnalyserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        ASSERT_EQ(MakeNoteTable(), 1);
        ASSERT_EQ(analyser.Init(), 1);
        ASSERT_EQ(in.Init("test", "in", g_iBufMonoLen, g_iBlockSize), 1);
    }
    void TearDown() override
    {
        analyser.Release();
        in.Release("test", "in");
    }

    // Feeds blocks of a sine (or silence) on the left channel.
    void Feed(int blocks, double freq, double amp)
    {
        for (int b = 0; b < blocks; ++b)
        {
            for (int n = 0; n < g_iBlockSize; ++n)
                in.Channel(0)[offset + n] = static_cast<float>(amp * std::sin(2.0 * kPi * freq * sample++ / 48000.0));
            analyser.Process(&in, offset);
            offset = offset == 0 ? g_iBlockSize : 0;
        }
    }

    // Index of the band centred nearest to f.
    int BandNear(double f) const
    {
        int best = 0;
        for (int b = 1; b < analyser.NumBands(); ++b)
            if (std::fabs(analyser.BandFrequency(b) - f) < std::fabs(analyser.BandFrequency(best) - f))
                best = b;
        return best;
    }

    Analyser analyser;
    CSampleBuffer in;
    int offset = 0;
    long sample = 0;
};

TEST_F(AnalyserTest, BandsAreSemitonesFromLowE)
{
    ASSERT_EQ(analyser.NumBands(), 60);
    EXPECT_FLOAT_EQ(analyser.BandFrequency(0), 41.205f);
    EXPECT_NEAR(analyser.BandFrequency(17), 110.004, 0.002);
    EXPECT_NEAR(analyser.BandFrequency(59), 41.205 * std::pow(2.0, 59.0 / 12.0), 0.05);
    for (int k = 0; k < analyser.m_iNumStages; ++k)
        for (int b = 0; b < 60; ++b)
        {
            const BpFilter& f = analyser.m_pFilters[0][k][b];
            ASSERT_EQ(f.m_iType, 4);
            ASSERT_FLOAT_EQ(f.m_fBW, 0.083333336f);
            ASSERT_EQ(f.m_fF0, analyser.m_pFilters[0][0][b].m_fF0);
        }
}

TEST_F(AnalyserTest, HeldPeaksRefreshEveryThirdBlockOnly)
{
    const int band = BandNear(220.0);
    Feed(1, 220.0, 8000.0);
    EXPECT_EQ(analyser.HeldPeak(band), 0.0f);  // nothing copied yet
    Feed(3, 220.0, 8000.0);                     // the fourth block publishes the first three
    const float first = analyser.HeldPeak(band);
    EXPECT_GT(first, 1000.0f);
    std::vector<float> seen;
    for (int i = 0; i < 6; ++i)
    {
        Feed(1, 220.0, 8000.0);
        seen.push_back(analyser.HeldPeak(band));
    }
    // Blocks 5, 6 hold; 7 refreshes; 8, 9 hold; 10 refreshes.
    EXPECT_EQ(seen[0], first);
    EXPECT_EQ(seen[1], first);
    EXPECT_EQ(seen[3], seen[2]);
    EXPECT_EQ(seen[4], seen[2]);
    EXPECT_NE(seen[2], first);  // the tone is still building up in the narrow band
}

TEST_F(AnalyserTest, ToneBetweenBandsLiftsBothNeighbours)
{
    const int lo = BandNear(220.0);
    const double between = std::sqrt(double(analyser.BandFrequency(lo)) * analyser.BandFrequency(lo + 1));
    Feed(30, between, 8000.0);
    EXPECT_GT(analyser.HeldPeak(lo), 1000.0f);
    EXPECT_GT(analyser.HeldPeak(lo + 1), 1000.0f);
    EXPECT_NEAR(analyser.HeldPeak(lo) / analyser.HeldPeak(lo + 1), 1.0, 0.15);
    EXPECT_LT(analyser.HeldPeak(lo + 4), 0.2f * analyser.HeldPeak(lo));
    EXPECT_LT(analyser.HeldPeak(lo - 4), 0.2f * analyser.HeldPeak(lo));
}

TEST_F(AnalyserTest, HeldPeaksAreNeverNegative)
{
    // A negative step drives the band outputs below zero at the onset.
    std::fill(in.Channel(0), in.Channel(0) + g_iBufMonoLen, -20000.0f);
    for (int b = 0; b < 4; ++b)
        analyser.Process(&in, (b % 2) * g_iBlockSize);
    for (int b = 0; b < analyser.NumBands(); ++b)
        ASSERT_GE(analyser.HeldPeak(b), 0.0f);
}

TEST_F(AnalyserTest, RetuneFollowsTheBandModeAndInitRestoresTheLayout)
{
    Feed(6, 220.0, 8000.0);
    analyser.m_iBandMode = 2;
    analyser.Retune();
    EXPECT_NEAR(analyser.BandFrequency(0), 65.41, 0.01);   // C2
    EXPECT_NEAR(analyser.BandFrequency(59), 1975.53, 0.1);  // B6, 59 semitones up
    EXPECT_FLOAT_EQ(analyser.m_pFilters[0][0][10].m_fBW, 0.041666668f);
    for (int b = 0; b < 60; ++b)
    {
        ASSERT_EQ(analyser.HeldPeak(b), 0.0f);
        ASSERT_EQ(analyser.m_pPeakAcc[0][b], 0.0f);
    }

    // From another thread the re-tune is only requested; the next block does it.
    analyser.m_iBandMode = 1;
    analyser.RequestRetune();
    EXPECT_NEAR(analyser.BandFrequency(0), 65.41, 0.01);
    Feed(1, 220.0, 8000.0);
    EXPECT_NEAR(analyser.BandFrequency(0), 32.70, 0.01);   // C1
    EXPECT_NEAR(analyser.BandFrequency(59), 987.77, 0.05);  // B5

    analyser.Release();
    ASSERT_EQ(analyser.Init(), 1);
    EXPECT_FLOAT_EQ(analyser.BandFrequency(0), 41.205f);
    EXPECT_EQ(analyser.m_iBandMode.load(), 1);
}

} // namespace
