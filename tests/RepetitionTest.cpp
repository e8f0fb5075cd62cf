// How well the kept input repeats after a lag: the coarse-to-fine search against
// the plain one over every lag, and the period found between samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/TestSupport.h"
#include "tuner/Repetition.h"

namespace {

constexpr int kWindow = 960;  // 20 ms at 48000 Hz

// A decaying string-like tone: partials 1..iPartials at 1/k, plus a little noise.
std::vector<float> Tone(double dHz, int iPartials, size_t n, double dNoise = 0.0)
{
    std::vector<float> x(n);
    unsigned int uSeed = 7u;
    for (size_t i = 0; i < n; ++i)
    {
        double v = 0.0;
        for (int k = 1; k <= iPartials; ++k)
            v += std::sin(2.0 * kPi * dHz * k * static_cast<double>(i) / 48000.0 + k) / k;
        uSeed = uSeed * 1664525u + 1013904223u;
        v += dNoise * (static_cast<double>(uSeed >> 8) / 8388608.0 - 1.0);
        x[i] = static_cast<float>(8000.0 * v * std::exp(-static_cast<double>(i) / 48000.0));
    }
    return x;
}

Repetition Keep(const std::vector<float>& x)
{
    Repetition r;
    r.Append(x.data(), static_cast<int>(x.size()));
    return r;
}

TEST(Repetition, CoarseSearchFindsWhatEveryLagFinds)
{
    const struct { double dHz; int iPartials; double dNoise; } kTones[] = {
        {82.41, 12, 0.0}, {110.0, 3, 0.2}, {246.94, 8, 0.05}, {329.63, 1, 0.0}, {41.2, 20, 0.1}};
    for (const auto& t : kTones)
    {
        const Repetition r = Keep(Tone(t.dHz, t.iPartials, 9600, t.dNoise));
        const double dPeriod = 48000.0 / t.dHz;
        for (double dLag : {0.5 * dPeriod, dPeriod, 2.0 * dPeriod, 3.3 * dPeriod})
            for (double dTolerance : {0.004, 0.03})
            {
                if (dLag * (1.0 + dTolerance) + kWindow + 3 > 9600)
                    continue;
                const float fPlain = r.BestNearPlain(dLag, dTolerance, kWindow);
                const float fFast = r.BestNear(dLag, dTolerance, kWindow);
                EXPECT_LE(fFast, fPlain + 1e-6f);
                EXPECT_GE(fFast, fPlain - 0.01f) << t.dHz << " Hz, lag " << dLag << ", tolerance " << dTolerance;
            }
    }
}

TEST(Repetition, WindowsReadStraightThroughMatchTheRing)
{
    // Kept in odd-sized blocks well past the ring's length, so that windows and
    // lags straddle its end.
    const std::vector<float> x = Tone(97.0, 9, 3 * Repetition::kLength, 0.1);
    Repetition r;
    for (size_t n = 0; n < x.size();)
    {
        const int iCount = static_cast<int>(std::min<size_t>(1237, x.size() - n));
        r.Append(x.data() + n, iCount);
        n += static_cast<size_t>(iCount);
        for (int iLag : {2, 495, 4001, Repetition::kLength - 2 * kWindow})
            for (int iWindow : {kWindow, 2 * kWindow + 3})
            {
                if (iLag + iWindow < Repetition::kLength && static_cast<long long>(iLag + iWindow) < r.Count())
                {
                    ASSERT_NEAR(r.AtPlain(iLag, iWindow), r.At(iLag, iWindow), 1e-6) << "after " << n << ", lag " << iLag;
                }
            }
    }
    // Kept all at once, more than the ring holds: the newest samples are the same.
    const Repetition whole = Keep(x);
    EXPECT_EQ(r.Count(), whole.Count());
    EXPECT_EQ(r.At(4001, kWindow), whole.At(4001, kWindow));
}

TEST(Repetition, PeriodBetweenSamplesAndWhyNoneIsFound)
{
    const Repetition tone = Keep(Tone(110.0, 6, 4800));
    EXPECT_NEAR(48000.0 / 110.0, tone.PeriodNear(430.0, 0.03, kWindow, 0.8f), 0.05);
    EXPECT_NEAR(1.0, tone.BestNear(48000.0 / 110.0, 0.004, kWindow), 0.01);
    // Its period lies beyond the range searched: another period.
    EXPECT_EQ(Repetition::kOther, tone.PeriodNear(420.0, 0.03, kWindow, 0.8f));
    // Noise repeats nowhere.
    std::vector<float> noise(4800);
    unsigned int uSeed = 1u;
    for (float& v : noise)
    {
        uSeed = uSeed * 1664525u + 1013904223u;
        v = static_cast<float>(uSeed >> 16) - 32768.0f;
    }
    EXPECT_EQ(Repetition::kNone, Keep(noise).PeriodNear(436.0, 0.03, kWindow, 0.8f));
    // Silence, too little kept, and a lag that reaches back before the sound began
    // say nothing.
    EXPECT_EQ(Repetition::kUnknown, Keep(std::vector<float>(4800, 0.0f)).PeriodNear(436.0, 0.03, kWindow, 0.8f));
    EXPECT_EQ(Repetition::kUnknown, Keep(Tone(110.0, 6, 1200)).PeriodNear(436.0, 0.03, kWindow, 0.8f));
    std::vector<float> late(4800, 0.0f);
    const std::vector<float> x = Tone(110.0, 6, 1500);
    std::copy(x.begin(), x.end(), late.end() - 1500);
    EXPECT_NE(Repetition::kSilent, Keep(late).BestNear(436.0, 0.004, kWindow));
    EXPECT_EQ(Repetition::kSilent, Keep(late).BestNear(1309.0, 0.004, kWindow));
}

} // namespace
