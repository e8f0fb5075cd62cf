#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "dsp/BpFilter.h"
#include "dsp/StreamParams.h"
#include "tests/TestSupport.h"

namespace {

// Magnitude of the designed transfer function at frequency f.
double Gain(const BpFilter& flt, double f)
{
    const double w = 2.0 * kPi * f / g_fSamplingFreq;
    const std::complex<double> z1 = std::polar(1.0, -w), z2 = std::polar(1.0, -2.0 * w);
    const std::complex<double> num = double(flt.m_fB0) + double(flt.m_fB1) * z1 + double(flt.m_fB2) * z2;
    const std::complex<double> den = 1.0 + double(flt.m_fA1) * z1 + double(flt.m_fA2) * z2;
    return std::abs(num / den);
}

BpFilter Designed(int type, float f0, float bw, float q)
{
    BpFilter flt;
    flt.m_iType = type;
    flt.m_fF0 = f0;
    flt.m_fBW = bw;
    flt.m_fQ = q;
    flt.Design();
    return flt;
}

class BpFilterTest : public ::testing::Test
{
protected:
    void SetUp() override { SetStreamFormat(48000.0f, 1200); }
};

TEST_F(BpFilterTest, DesignsHaveBandPassShapeAndTheirPeakGain)
{
    struct Case { int type; float q; double peak; };
    // Types 1 and 2 peak at Q (type 2 derives its Q from the bandwidth); 3 and 4 at 0 dB.
    for (const Case& c : {Case{1, 1.0f, 1.0}, Case{1, 4.0f, 4.0}, Case{3, 4.0f, 1.0}, Case{4, 1.0f, 1.0}})
    {
        SCOPED_TRACE(c.type);
        const BpFilter flt = Designed(c.type, 1000.0f, 1.0f, c.q);
        EXPECT_EQ(flt.m_fB1, 0.0f);
        EXPECT_EQ(flt.m_fB2, -flt.m_fB0);
        EXPECT_NEAR(Gain(flt, 1000.0), c.peak, 1e-4 * c.peak);
        EXPECT_LT(Gain(flt, 100.0), 0.25 * c.peak);
        EXPECT_LT(Gain(flt, 10000.0), 0.25 * c.peak);
    }
    // Type 2 (peak gain from bandwidth): one octave is Q of about 1.41.
    const BpFilter t2 = Designed(2, 1000.0f, 1.0f, 1.0f);
    const BpFilter t4 = Designed(4, 1000.0f, 1.0f, 1.0f);
    EXPECT_NEAR(Gain(t2, 1000.0), 1.414, 0.01);
    EXPECT_NEAR(Gain(t2, 1000.0) / Gain(t4, 1000.0), Gain(t2, 700.0) / Gain(t4, 700.0), 1e-4);
    // The bandwidth puts the half-power edges an octave apart.
    EXPECT_NEAR(Gain(t4, 1000.0 / std::sqrt(2.0)), std::sqrt(0.5), 0.01);
    EXPECT_NEAR(Gain(t4, 1000.0 * std::sqrt(2.0)), std::sqrt(0.5), 0.01);
}

TEST_F(BpFilterTest, UnknownTypeKeepsThePreviousCoefficients)
{
    BpFilter flt = Designed(4, 440.0f, 0.5f, 1.0f);
    auto coefficients = [&] { return std::vector<float>{flt.m_fB0, flt.m_fB1, flt.m_fB2, flt.m_fA1, flt.m_fA2}; };
    const std::vector<float> before = coefficients();
    flt.m_iType = 7;
    flt.m_fF0 = 2000.0f;
    flt.Design();
    EXPECT_EQ(coefficients(), before);
}

// Blocks at offsets 0, B, 0 must continue the recursion exactly as one long run:
// the history of a block at 0 is the end of the other half.
TEST_F(BpFilterTest, AlternatingOffsetsEqualOneLongRun)
{
    const int B = 64;
    SetStreamFormat(48000.0f, B);
    std::vector<float> signal(3 * B);
    for (int i = 0; i < 3 * B; ++i)
        signal[i] = 8000.0f * std::sin(0.21 * i) + 3000.0f * std::cos(0.017 * i * i);

    BpFilter a = Designed(4, 2500.0f, 0.3f, 1.0f);
    ASSERT_EQ(a.Init(g_iBufMonoLen, g_iBlockSize), 1);
    std::vector<float> x(g_iBufMonoLen), got;
    for (int block = 0; block < 3; ++block)
    {
        const int offset = (block % 2) * B;
        std::copy(signal.begin() + block * B, signal.begin() + (block + 1) * B, x.begin() + offset);
        const float* y = a.Process(x.data(), offset);
        got.insert(got.end(), y + offset, y + offset + B);
    }

    // Reference: the recursion over the joined blocks, sum order and rounding as stored.
    std::vector<float> ref(3 * B);
    for (int n = 0; n < 3 * B; ++n)
    {
        auto X = [&](int i) { return i < 0 ? 0.0 : double(signal[i]); };
        auto Y = [&](int i) { return i < 0 ? 0.0 : double(ref[i]); };
        ref[n] = float(double(a.m_fB0) * X(n) + double(a.m_fB1) * X(n - 1) + double(a.m_fB2) * X(n - 2) -
                       double(a.m_fA1) * Y(n - 1) - double(a.m_fA2) * Y(n - 2));
    }
    ASSERT_EQ(got.size(), ref.size());
    for (size_t i = 0; i < ref.size(); ++i)
        ASSERT_EQ(got[i], ref[i]) << "sample " << i;
    a.Release();
}

TEST_F(BpFilterTest, BankUsesFirstStageCoefficientsAndSettlesAboveZero)
{
    const int kBands = 3, kStages = 2;
    BpFilter stage0[kBands], stage1[kBands];
    BpFilter* stages[kStages] = {stage0, stage1};
    for (int b = 0; b < kBands; ++b)
    {
        stage0[b] = Designed(4, 200.0f * (b + 1), 0.5f, 1.0f);
        ASSERT_EQ(stage0[b].Init(g_iBufMonoLen, g_iBlockSize), 1);
        ASSERT_EQ(stage1[b].Init(g_iBufMonoLen, g_iBlockSize), 1);
        // Later stages' own coefficients must not matter.
        stage1[b].m_fB0 = 5.0f;
        stage1[b].m_fA1 = 0.3f;
    }
    std::vector<float> silence(g_iBufMonoLen, 0.0f);
    for (int block = 0; block < 200; ++block)
        BpFilter::ProcessBank(silence.data(), (block % 2) * g_iBlockSize, stages, kBands, kStages);
    for (int b = 0; b < kBands; ++b)
    {
        // The 0.001 added per sample settles at 0.001 / (1 + a1 + a2) in each stage
        // (b0 + b2 = 0, so a constant input passes nothing on).
        const BpFilter& d = stage0[b];
        const double settled = 0.001 / (1.0 + d.m_fA1 + d.m_fA2);
        EXPECT_NEAR(stage0[b].Output()[g_iBufMonoLen - 1], settled, settled * 1e-3);
        EXPECT_NEAR(stage1[b].Output()[g_iBufMonoLen - 1], settled, settled * 1e-3);
        EXPECT_GT(stage1[b].Output()[g_iBufMonoLen - 1], 0.0f);
    }
    for (int b = 0; b < kBands; ++b)
    {
        stage0[b].Release();
        stage1[b].Release();
    }
}

} // namespace
