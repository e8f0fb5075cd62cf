// The zero-crossing estimator, fed through a double-buffered array block by block
// exactly as the string tracker feeds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "dsp/SampleBuffer.h"
#include "dsp/StreamParams.h"
#include "tests/TestSupport.h"
#include "tuner/Tuner.h"

namespace {

constexpr float kUnpublished = 41.205f;  // the published value before any run completes

std::vector<float> Sine(double fHz, size_t n)
{
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(10000.0 * std::sin(2.0 * kPi * fHz * static_cast<double>(i) / 48000.0));
    return x;
}

// Indices n of the falling crossings (x[n-1] >= 0, x[n] < 0) of a signal that
// follows silence, counted independently of the estimator.
std::vector<size_t> FallingCrossings(const std::vector<float>& x)
{
    std::vector<size_t> out;
    for (size_t n = 0; n < x.size(); ++n)
        if ((n == 0 ? 0.0f : x[n - 1]) >= 0.0f && x[n] < 0.0f)
            out.push_back(n);
    return out;
}

// Silence with a negative sample at each index given: the crossing lies exactly
// on the zero before it (a zero counts as non-negative), so periods are whole.
std::vector<float> Dips(size_t n, std::initializer_list<size_t> at)
{
    std::vector<float> x(n, 0.0f);
    for (size_t i : at)
        x[i] = -1000.0f;
    return x;
}

// Owns the double-buffered input array and feeds it block by block, offsets
// alternating 0, B, 0, ... as the engine does.
struct Feeder
{
    CSampleBuffer input;
    int iOffset = 0;

    explicit Feeder(int iBlockSize, float fHistory = 0.0f)
    {
        SetStreamFormat(48000.0f, iBlockSize);
        EXPECT_EQ(1, input.Init("TunerTest", "input", g_iBufMonoLen, g_iBlockSize));
        std::fill(input.Channel(0), input.Channel(0) + g_iBufMonoLen, fHistory);  // what the first block follows
    }
    ~Feeder()
    {
        input.Release("TunerTest", "input");
        SetStreamFormat(48000.0f, 1200);
    }

    // Feeds x in whole blocks (the last one padded with zeros), calling
    // afterBlock() after each.
    void Feed(Tuner& tuner, const std::vector<float>& x, const std::function<void()>& afterBlock = [] {})
    {
        for (size_t start = 0; start < x.size(); start += static_cast<size_t>(g_iBlockSize))
        {
            for (size_t i = 0; i < static_cast<size_t>(g_iBlockSize); ++i)
                input.Channel(0)[static_cast<size_t>(iOffset) + i] = start + i < x.size() ? x[start + i] : 0.0f;
            tuner.Process(&input, iOffset);
            iOffset = g_iBlockSize - iOffset;
            afterBlock();
        }
    }
};

TEST(TunerEstimator, WindowBoundsAreExclusive)
{
    // 2400 samples is exactly 20 Hz, 24 exactly 2000 Hz; one sample further
    // inside the window is accepted.
    for (const auto& [nPeriod, iAccepted] : {std::pair<size_t, int>{2400, 0}, {2399, 1}, {24, 0}, {25, 1}})
    {
        SCOPED_TRACE("period " + std::to_string(nPeriod));
        Feeder feeder(2000);
        Tuner tuner;
        feeder.Feed(tuner, Dips(4000, {100, 100 + nPeriod}));
        EXPECT_EQ(static_cast<float>(nPeriod), tuner.m_fLastPeriod);
        EXPECT_EQ(iAccepted, tuner.m_iRunCount);
    }
}

TEST(TunerEstimator, OutOfRangeSinesAndARisingStepNeverPublish)
{
    // A 15 Hz period (3200 samples) is longer than the array at this block size;
    // the sines' crossings are seen, just not accepted. The step rises from a
    // negative history, so it has no falling crossing at all.
    std::vector<float> step(12000, 1000.0f);
    std::fill(step.begin(), step.begin() + 1000, -1000.0f);
    for (double fHz : {15.0, 2500.0, 0.0})
    {
        SCOPED_TRACE(fHz > 0.0 ? std::to_string(fHz) + " Hz" : "rising step");
        Feeder feeder(1200, fHz > 0.0 ? 0.0f : -1000.0f);
        Tuner tuner;
        feeder.Feed(tuner, fHz > 0.0 ? Sine(fHz, 144000) : step);
        EXPECT_EQ(kUnpublished, tuner.Measured());
        EXPECT_EQ(fHz > 0.0 ? 1 : 0, tuner.m_bHavePrev);
    }
}

TEST(TunerEstimator, NoPeriodIsLostAtTheArrayWrap)
{
    // At 1200-frame blocks the array holds about 5.5 periods of 110 Hz; every pair
    // of successive crossings must count, including those on either side of the
    // wrap. The first mean, of 20 periods, is published at the 21st crossing.
    const std::vector<float> x = Sine(110.0, 144000);
    const std::vector<size_t> crossings = FallingCrossings(x);
    std::vector<int> expected(x.size() / 1200, 0), accepted;
    for (size_t i = 1; i < crossings.size(); ++i)
        ++expected[crossings[i] / 1200];
    Feeder feeder(1200);
    Tuner tuner;
    int iRunCount = 0;
    feeder.Feed(tuner, x, [&] {
        // Exact while a block holds fewer than 20 accepted frequencies.
        accepted.push_back((tuner.m_iRunCount - iRunCount + Tuner::kRunLength) % Tuner::kRunLength);
        iRunCount = tuner.m_iRunCount;
        const bool bPublished = accepted.size() * 1200 > crossings[20];
        EXPECT_NEAR(bPublished ? 110.0 : kUnpublished, tuner.Measured(), 0.01) << "block " << accepted.size();
    });
    EXPECT_EQ(expected, accepted);
}

TEST(TunerEstimator, PeriodsLongerThanTheArrayAreMeasured)
{
    // Small blocks make the array shorter than a low string's period (a 128-frame
    // block holds 256 samples, the low E string's period is 582); the period must
    // still be read as it is, not as what is left of it after the wrap.
    for (const auto& [iBlock, fHz] : {std::pair<int, double>{128, 82.41}, {25, 41.2}, {64, 110.0}, {1200, 25.0}})
    {
        SCOPED_TRACE(std::to_string(iBlock) + " frames, " + std::to_string(fHz) + " Hz");
        Feeder feeder(iBlock);
        Tuner tuner;
        feeder.Feed(tuner, Sine(fHz, 48000));
        EXPECT_NEAR(fHz, tuner.Measured(), 0.01);
        for (float f : tuner.m_fRun)  // every accepted frequency, not just their mean
            EXPECT_NEAR(fHz, f, 0.01);
    }
}

TEST(TunerEstimator, CrossingStateSurvivesResetAndRestart)
{
    // The first block ends half way through a run (11 crossings). Clearing the
    // published value and restarting the unit there must lose neither the run nor
    // the last crossing: every period of the whole sine still counts.
    const std::vector<float> x = Sine(110.0, 10000);
    const std::vector<size_t> crossings = FallingCrossings(x);
    Feeder feeder(5000);
    Tuner tuner;
    feeder.Feed(tuner, std::vector<float>(x.begin(), x.begin() + 5000));
    tuner.SetMeasured(0.0f);
    tuner.Release();
    ASSERT_EQ(1, tuner.Init());
    feeder.Feed(tuner, std::vector<float>(x.begin() + 5000, x.end()));
    EXPECT_EQ(static_cast<int>(crossings.size() - 1) % Tuner::kRunLength, tuner.m_iRunCount);
    EXPECT_NEAR(110.0, tuner.Measured(), 0.01);
}

TEST(TunerEstimator, DiagnosticIsLoggedOnceAtThe201stAcceptedFrequency)
{
    // Each feed holds one pair of crossings, the gap to the next pair being too
    // long for 20 Hz, so each adds exactly one accepted frequency. The log lives as
    // long as the test program, so the test counts the lines it adds.
    Feeder feeder(1200);
    Tuner tuner;
    ResetFrequencyDiagnostic();
    auto acceptThenCount = [&](int iCount, size_t nPeriod) {
        for (int i = 0; i < iCount; ++i)
            feeder.Feed(tuner, Dips(4800, {1000, 1000 + nPeriod}));
        int n = 0;
        for (const std::string& line : LogLines())
            n += line.rfind("fAvgFreq = ", 0) == 0 ? 1 : 0;
        return n;
    };
    const std::string sExpected = "fAvgFreq =  45.000000";
    const int iBefore = acceptThenCount(0, 0), iExpectedBefore = CountLogLines(sExpected);
    // 100 periods of 50 Hz and 100 of 40 Hz: the mean, 45, is exact in float.
    acceptThenCount(100, 960);
    EXPECT_EQ(iBefore, acceptThenCount(100, 1200));
    // The 201st (80 Hz) triggers the line but is not part of the mean.
    EXPECT_EQ(iBefore + 1, acceptThenCount(1, 600));
    EXPECT_EQ(iExpectedBefore + 1, CountLogLines(sExpected));
    EXPECT_EQ(iBefore + 1, acceptThenCount(250, 700));
}

} // namespace

// A new note's periods wait unpublished until the tracker confirms them; then the
// note is published at once from its first estimate and refined period by period
// until its first run of 20 is complete.
TEST(TunerEstimator, HeldPeriodsWaitAndConfirmedOnesPublishFromTheFirstEstimate)
{
    Feeder feeder(1200);
    Tuner tuner;
    tuner.SetMeasured(0.0f);
    tuner.HoldBack();
    tuner.m_fGuideFreq = 110.0f;
    int iCount = 0;
    feeder.Feed(tuner, Sine(110.0, 4800));  // 11 periods, the first passed over
    EXPECT_EQ(0.0f, tuner.Measured());
    EXPECT_TRUE(tuner.Held());
    EXPECT_NEAR(110.0, tuner.PendingEstimate(&iCount), 0.01);
    EXPECT_EQ(Tuner::kFirstEstimate, iCount);

    tuner.Confirm(iCount);
    EXPECT_FALSE(tuner.Held());
    EXPECT_TRUE(tuner.FirstRun());
    EXPECT_NEAR(110.0, tuner.Measured(), 0.01);
    feeder.Feed(tuner, Sine(110.0, 9600));
    EXPECT_FALSE(tuner.FirstRun());
    EXPECT_NEAR(110.0, tuner.Measured(), 0.01);
}

// Periods that jitter are estimated from twice as many; with a guide, periods
// more than three semitones from it (a missed or an extra crossing) never count.
TEST(TunerEstimator, JitteryPeriodsTakeTwiceAsManyAndTheGuideBoundsThem)
{
    {
        Feeder feeder(1200);
        Tuner tuner;
        tuner.HoldBack();
        tuner.m_fGuideFreq = 110.0f;
        // Periods alternating 416 and 456 samples (115.4 and 105.3 Hz).
        std::vector<float> x(9600, 0.0f);
        for (size_t n = 100, i = 0; n < x.size(); n += (i++ % 2) ? 456 : 416)
            x[n] = -1000.0f;
        feeder.Feed(tuner, x);
        int iCount = 0;
        const float fEstimate = tuner.PendingEstimate(&iCount);
        EXPECT_EQ(2 * Tuner::kFirstEstimate, iCount);
        EXPECT_NEAR(0.5 * (48000.0 / 416 + 48000.0 / 456), fEstimate, 0.01);
    }
    const struct { double dHz; bool bCounts; } kCases[] = {{55.0, false}, {95.0, true}, {130.0, true}, {140.0, false}};
    for (const auto& c : kCases)
    {
        Feeder feeder(1200);
        Tuner tuner;
        tuner.HoldBack();
        tuner.m_fGuideFreq = 110.0f;
        feeder.Feed(tuner, Sine(c.dHz, 9600));
        int iCount = 0;
        EXPECT_EQ(c.bCounts, tuner.PendingEstimate(&iCount) > 0.0f) << c.dHz << " Hz";
    }
}
