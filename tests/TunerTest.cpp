// The zero-crossing estimator, fed through a double-buffered array block by block
// exactly as the string tracker feeds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/SampleBuffer.h"
#include "engine/StreamParams.h"
#include "tests/TestSupport.h"
#include "tuner/Tuner.h"

namespace {

constexpr float kRate = 48000.0f;
constexpr float kConstructedMeasured = 41.205f;

std::vector<float> Sine(double fFreq, size_t n, double fAmplitude = 10000.0)
{
    const double kPi = 3.14159265358979323846;
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(fAmplitude * std::sin(2.0 * kPi * fFreq * static_cast<double>(i) / kRate));
    return x;
}

// Indices n of the falling crossings (x[n-1] >= 0, x[n] < 0) of a signal that
// follows silence, counted independently of the estimator.
std::vector<size_t> FallingCrossings(const std::vector<float>& x)
{
    std::vector<size_t> out;
    float prev = 0.0f;
    for (size_t n = 0; n < x.size(); ++n)
    {
        if (prev >= 0.0f && x[n] < 0.0f)
            out.push_back(n);
        prev = x[n];
    }
    return out;
}

// A crossing placed by hand: +1000 at index p and -1000 at p + 1 put the
// interpolated crossing at exactly p + 0.5.
void PutCrossing(std::vector<float>& x, size_t p)
{
    x[p] = 1000.0f;
    x[p + 1] = -1000.0f;
}

// Owns the double-buffered input array and feeds it block by block, offsets
// alternating 0, B, 0, ... as the engine does.
class Feeder
{
public:
    explicit Feeder(int iBlockSize)
    {
        SetStreamFormat(kRate, iBlockSize);
        EXPECT_EQ(1, m_Input.Init("TunerTest", "m_Input", g_iBufMonoLen, g_iBlockSize));
    }
    ~Feeder()
    {
        m_Input.Release("TunerTest", "m_Input");
        SetStreamFormat(48000.0f, 1200);
    }
    Feeder(const Feeder&) = delete;
    Feeder& operator=(const Feeder&) = delete;

    // Fills the whole array, i.e. the history the first block sees.
    void FillHistory(float v)
    {
        for (int i = 0; i < g_iBufMonoLen; ++i)
            m_Input.Channel(0)[i] = v;
    }

    // Feeds x from its start in whole blocks (the last one padded with zeros) and
    // calls afterBlock(first sample index of the block) after each.
    template <class F>
    void Feed(Tuner& tuner, const std::vector<float>& x, F&& afterBlock)
    {
        const size_t nBlock = static_cast<size_t>(g_iBlockSize);
        for (size_t start = 0; start < x.size(); start += nBlock)
        {
            float* p = m_Input.Channel(0) + m_iOffset;
            for (size_t i = 0; i < nBlock; ++i)
                p[i] = start + i < x.size() ? x[start + i] : 0.0f;
            EXPECT_EQ(&m_Input, tuner.Process(&m_Input, m_iOffset));
            m_iOffset = m_iOffset == 0 ? g_iBlockSize : 0;
            afterBlock(start);
        }
    }
    void Feed(Tuner& tuner, const std::vector<float>& x)
    {
        Feed(tuner, x, [](size_t) {});
    }

private:
    CSampleBuffer m_Input;
    int m_iOffset = 0;
};

// Accepted frequencies in one block, from the change of the run count; exact as
// long as a block holds fewer than 20 of them.
int AcceptedSince(const Tuner& tuner, int iRunCountBefore)
{
    return (tuner.m_iRunCount - iRunCountBefore + Tuner::kRunLength) % Tuner::kRunLength;
}

int CountLinesStartingWith(const std::string& prefix)
{
    int n = 0;
    for (const std::string& line : LogLines())
        if (line.compare(0, prefix.size(), prefix) == 0)
            ++n;
    return n;
}

// A buffer of 2 x 5000 samples holds 21 periods of 110 Hz without wrapping, so
// every crossing pair counts.
constexpr int kNoWrapBlock = 5000;

TEST(TunerEstimator, SineIsMeasuredWithin10mHzAndPublishedAtThe21stCrossing)
{
    const std::vector<float> sine = Sine(110.0, 2 * kNoWrapBlock);
    const std::vector<size_t> crossings = FallingCrossings(sine);
    ASSERT_GE(crossings.size(), 21u);

    // The sine cut right after its 20th, then its 21st falling crossing.
    for (size_t nCrossings : {20u, 21u})
    {
        SCOPED_TRACE("crossings: " + std::to_string(nCrossings));
        std::vector<float> x(sine.begin(), sine.begin() + static_cast<long>(crossings[nCrossings - 1] + 1));
        ASSERT_EQ(nCrossings, FallingCrossings(x).size());

        Feeder feeder(kNoWrapBlock);
        Tuner tuner;
        feeder.Feed(tuner, x);
        EXPECT_NEAR(110.0, tuner.m_fLatestFreq, 0.01);
        if (nCrossings == 20)
        {
            // 19 periods: nothing published yet.
            EXPECT_EQ(kConstructedMeasured, tuner.Measured());
            EXPECT_EQ(19, tuner.m_iRunCount);
        }
        else
        {
            EXPECT_EQ(0, tuner.m_iRunCount);
            for (float f : tuner.m_fRun)
                EXPECT_NEAR(110.0, f, 0.01);
            EXPECT_NEAR(110.0, tuner.Measured(), 0.01);
        }
    }
}

TEST(TunerEstimator, SinesOutsideTheGuitarRangeNeverChangeTheMeasuredFrequency)
{
    // A 15 Hz period (3200 samples) is longer than the array at the usual block size.
    for (double fFreq : {15.0, 2500.0})
    {
        SCOPED_TRACE(fFreq);
        Feeder feeder(1200);
        Tuner tuner;
        feeder.Feed(tuner, Sine(fFreq, 3 * static_cast<size_t>(kRate)),
                    [&](size_t) { ASSERT_EQ(kConstructedMeasured, tuner.Measured()); });
        EXPECT_EQ(0, tuner.m_iRunCount);
        EXPECT_EQ(1, tuner.m_bHavePrev);  // crossings were seen, just not accepted
    }
}

TEST(TunerEstimator, WindowBoundsAreExclusive)
{
    struct Case
    {
        size_t nPeriod;  // samples between the two crossings
        bool bAccepted;
    };
    // 2400 samples is exactly 20 Hz, 24 exactly 2000 Hz; one sample further
    // inside the window is accepted.
    const Case cases[] = {{2400, false}, {2399, true}, {24, false}, {25, true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE("period " + std::to_string(c.nPeriod));
        Feeder feeder(2000);
        Tuner tuner;
        std::vector<float> x(4000, 0.0f);
        PutCrossing(x, 100);
        PutCrossing(x, 100 + c.nPeriod);
        feeder.Feed(tuner, x);

        EXPECT_EQ(static_cast<float>(c.nPeriod), tuner.m_fLastPeriod);
        EXPECT_EQ(c.bAccepted ? 1 : 0, tuner.m_iRunCount);
        if (c.bAccepted)
        {
            EXPECT_FLOAT_EQ(kRate / static_cast<float>(c.nPeriod), tuner.m_fLatestFreq);
        }
        EXPECT_EQ(kConstructedMeasured, tuner.Measured());
    }
}

TEST(TunerEstimator, OnlyFallingCrossingsCountAndArePlacedByInterpolation)
{
    {
        SCOPED_TRACE("rising DC step");
        Feeder feeder(1200);
        feeder.FillHistory(-1000.0f);
        std::vector<float> x(12000, 1000.0f);
        for (size_t i = 0; i < 1000; ++i)
            x[i] = -1000.0f;
        Tuner tuner;
        feeder.Feed(tuner, x);
        EXPECT_EQ(0, tuner.m_bHavePrev);
        EXPECT_EQ(0, tuner.m_iRunCount);
        EXPECT_EQ(kConstructedMeasured, tuner.Measured());
    }
    {
        SCOPED_TRACE("falling step");
        Feeder feeder(1200);
        feeder.FillHistory(3000.0f);
        std::vector<float> x(2400, -1000.0f);
        for (size_t i = 0; i < 1500; ++i)
            x[i] = 3000.0f;
        Tuner tuner;
        feeder.Feed(tuner, x);
        EXPECT_EQ(1, tuner.m_bHavePrev);
        EXPECT_FLOAT_EQ(1499.75f, tuner.m_fCrossing);  // 1499 + 3000 / (3000 + 1000)
        EXPECT_FLOAT_EQ(1499.75f, tuner.m_fPrevCrossing);
    }
    {
        SCOPED_TRACE("zero counts as non-negative");
        Feeder feeder(1200);
        feeder.FillHistory(-1000.0f);
        std::vector<float> x(1200, -1000.0f);
        x[700] = 0.0f;
        Tuner tuner;
        feeder.Feed(tuner, x);
        EXPECT_EQ(1, tuner.m_bHavePrev);
        EXPECT_EQ(700.0f, tuner.m_fCrossing);
    }
}

TEST(TunerEstimator, NoPeriodIsLostAtTheArrayWrap)
{
    // At the engine's 1200-frame blocks the array holds 2400 samples, about 5.5
    // periods of 110 Hz; every pair of successive crossings must count, including
    // the pairs whose crossings lie on either side of the wrap.
    const std::vector<float> x = Sine(110.0, 3 * static_cast<size_t>(kRate));
    const std::vector<size_t> crossings = FallingCrossings(x);
    std::vector<int> expectedPerBlock(x.size() / 1200, 0);
    for (size_t i = 1; i < crossings.size(); ++i)
        ++expectedPerBlock[crossings[i] / 1200];

    Feeder feeder(1200);
    Tuner tuner;
    std::vector<int> acceptedPerBlock;
    int iRunCount = tuner.m_iRunCount;
    feeder.Feed(tuner, x, [&](size_t) {
        acceptedPerBlock.push_back(AcceptedSince(tuner, iRunCount));
        iRunCount = tuner.m_iRunCount;
    });
    EXPECT_EQ(expectedPerBlock, acceptedPerBlock);
    EXPECT_NEAR(110.0, tuner.Measured(), 0.01);
}

TEST(TunerEstimator, PeriodsLongerThanTheArrayAreMeasured)
{
    // Small blocks make the array shorter than a low string's period (a 128-frame
    // block holds 256 samples, the low E string's period is 582); the period must
    // still be read as it is, not as what is left of it after the wrap.
    struct Case
    {
        int iBlock;
        double fFreq;
    };
    for (const Case& c : {Case{128, 82.41}, Case{25, 41.2}, Case{64, 110.0}, Case{1200, 25.0}})
    {
        SCOPED_TRACE(std::to_string(c.iBlock) + " frames, " + std::to_string(c.fFreq) + " Hz");
        Feeder feeder(c.iBlock);
        Tuner tuner;
        feeder.Feed(tuner, Sine(c.fFreq, static_cast<size_t>(kRate)));
        EXPECT_NEAR(c.fFreq, tuner.Measured(), 0.01);
        for (float f : tuner.m_fRun)
        {
            if (f != 0.0f)
            {
                ASSERT_NEAR(c.fFreq, f, 0.01);
            }
        }
    }
}

TEST(TunerEstimator, CrossingStateSurvivesResetAndRestart)
{
    // Block 0 holds 11 crossings (10 periods). Clearing the published value and
    // restarting the unit between the blocks must not lose them: the run then
    // completes 10 periods into block 1, not 20.
    const std::vector<float> x = Sine(110.0, 2 * kNoWrapBlock);
    const std::vector<size_t> crossings = FallingCrossings(x);
    ASSERT_EQ(11, std::count_if(crossings.begin(), crossings.end(), [](size_t n) { return n < kNoWrapBlock; }));

    Feeder feeder(kNoWrapBlock);
    Tuner tuner;
    const std::vector<float> first(x.begin(), x.begin() + kNoWrapBlock);
    const std::vector<float> second(x.begin() + kNoWrapBlock, x.end());
    feeder.Feed(tuner, first);
    ASSERT_EQ(10, tuner.m_iRunCount);
    const float fPrev = tuner.m_fPrevCrossing;
    std::vector<float> run(tuner.m_fRun, tuner.m_fRun + Tuner::kRunLength);

    tuner.SetMeasured(0.0f);
    tuner.Release();
    ASSERT_EQ(1, tuner.Init());
    EXPECT_EQ(1, tuner.m_bHavePrev);
    EXPECT_EQ(fPrev, tuner.m_fPrevCrossing);
    EXPECT_EQ(10, tuner.m_iRunCount);
    EXPECT_EQ(run, std::vector<float>(tuner.m_fRun, tuner.m_fRun + Tuner::kRunLength));

    feeder.Feed(tuner, second);
    const int iCrossingsInSecond = static_cast<int>(crossings.size()) - 11;
    EXPECT_EQ((10 + iCrossingsInSecond) % Tuner::kRunLength, tuner.m_iRunCount);
    EXPECT_NEAR(110.0, tuner.Measured(), 0.01);
}

TEST(TunerEstimator, DiagnosticIsLoggedOnceAtThe201stAcceptedFrequency)
{
    // One pair of hand-placed crossings per 4800 samples, with a period chosen
    // freely; the gap to the next pair is longer than a 20 Hz period, so each pair
    // adds exactly one accepted frequency.
    constexpr size_t kFirst = 1000;
    Feeder feeder(1200);
    Tuner tuner;
    ResetFrequencyDiagnostic();
    // The log lives as long as the test program, so count what this test adds.
    const std::string prefix = "fAvgFreq = ";
    const float fSum = 100.0f * 50.0f + 100.0f * 40.0f;
    char szValue[64];
    std::snprintf(szValue, sizeof(szValue), "%f", static_cast<double>(fSum * 0.005f));
    const std::string line = prefix + " " + szValue;
    const int iLinesBefore = CountLinesStartingWith(prefix);
    const int iExactBefore = CountLogLines(line);

    int iAccepted = 0;
    auto acceptOne = [&](size_t nPeriod) {
        std::vector<float> x(4800, 0.0f);
        PutCrossing(x, kFirst);
        PutCrossing(x, kFirst + nPeriod);
        const int iRunCount = tuner.m_iRunCount;
        feeder.Feed(tuner, x);
        ASSERT_EQ(1, AcceptedSince(tuner, iRunCount));
        ++iAccepted;
    };

    // 100 periods of 50 Hz and 100 of 40 Hz; the mean is exact in float.
    for (int i = 0; i < 200; ++i)
    {
        acceptOne(i < 100 ? 960 : 1200);
        ASSERT_FALSE(HasFailure()) << "at accepted frequency " << iAccepted;
    }
    EXPECT_EQ(iLinesBefore, CountLinesStartingWith(prefix));

    // The 201st (80 Hz) triggers the line but is not part of the mean.
    acceptOne(600);
    EXPECT_EQ(iExactBefore + 1, CountLogLines(line)) << "expected the mean " << szValue;
    EXPECT_EQ(iLinesBefore + 1, CountLinesStartingWith(prefix));

    for (int i = 0; i < 250; ++i)
        acceptOne(700);
    EXPECT_EQ(iLinesBefore + 1, CountLinesStartingWith(prefix));
}

} // namespace
