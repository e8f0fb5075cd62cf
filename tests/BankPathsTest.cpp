// The vector paths of the band bank against the plain per-band recursion: every
// value a reader uses must be the same to the bit, for whole recordings through
// the engine and for bank shapes the engine does not use (band counts and block
// sizes that are no multiple of four, arbitrary coefficients). The first stage's
// arrays are compared only where the next block reads them: its other samples
// are not kept by the vector paths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/WavFile.h"
#include "dsp/BpFilter.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "tests/TestSupport.h"
#include "tools/OfflineTuner.h"

namespace {

std::vector<BankPath> VectorPaths()
{
    std::vector<BankPath> paths;
    for (BankPath p : {BankPath::Sse2, BankPath::Avx, BankPath::Avx512})
        if (BankPathAvailable(p))
            paths.push_back(p);
    return paths;
}

const char* Name(BankPath p)
{
    return p == BankPath::Sse2 ? "sse2" : p == BankPath::Avx ? "avx" : p == BankPath::Avx512 ? "avx512" : "per band";
}

// Restores the fastest path whatever a test selected.
class BankPathsTest : public ::testing::Test
{
protected:
    void TearDown() override { SelectBankPath(FastestBankPath()); }
};

std::uint32_t Bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// A digest of float arrays by their bit patterns (FNV-1a).
struct Digest
{
    std::uint64_t h = 1469598103934665603ull;
    void Add(const float* p, int n)
    {
        for (int i = 0; i < n; ++i)
            h = (h ^ Bits(p[i])) * 1099511628211ull;
    }
    void Add(float f) { Add(&f, 1); }
};

// Per block: what the tuner, the analyser and the audible chain leave behind.
std::vector<std::uint64_t> RunRecording(const WavAudio& wav, BankPath path)
{
    EXPECT_TRUE(SelectBankPath(path));
    OfflineTuner tuner;
    std::string sError;
    OfflineTunerOptions options;
    options.iString = 1;
    EXPECT_TRUE(tuner.Start(static_cast<float>(wav.iSampleRate), options, &sError)) << sError;
    const int iBlock = options.iBlockSize;
    std::vector<float> left(static_cast<size_t>(iBlock));
    std::vector<std::uint64_t> digests;
    CDspEngine& e = tuner.Engine();
    for (size_t start = 0; start + static_cast<size_t>(iBlock) <= wav.NumFrames(); start += static_cast<size_t>(iBlock))
    {
        for (int n = 0; n < iBlock; ++n)
            left[static_cast<size_t>(n)] = wav.channels[0][start + static_cast<size_t>(n)] * 32768.0f;
        const OfflineTunerRow row = tuner.Feed(left.data(), nullptr);
        const int iEnd = (digests.size() % 2 + 1) * iBlock;  // blocks alternate between the halves
        Digest d;
        d.Add(row.fBandHz);
        d.Add(row.fMeasuredHz);
        const Analyser& a = e.m_Analyser;
        for (int b = 0; b < a.NumBands(); ++b)
        {
            d.Add(a.HeldPeak(b));
            d.Add(a.m_pPeakAcc[0][b]);
            d.Add(a.BandFrequency(b));
            // Of the first stage only the history the next block starts from.
            d.Add(a.m_pFilters[0][0][b].Output() + iEnd - 2, 2);
            d.Add(a.m_pFilters[0][a.m_iNumStages - 1][b].Output(), g_iBufMonoLen);
        }
        for (int c = 0; c < 2; ++c)
        {
            d.Add(a.m_fOutput.Channel(c), g_iBufMonoLen);
            d.Add(e.m_Level.m_fOutput.Channel(c), g_iBufMonoLen);
        }
        d.Add(e.m_Tuner2.m_fOutput.Channel(0), g_iBufMonoLen);
        digests.push_back(d.h);
    }
    return digests;
}

TEST_F(BankPathsTest, RecordingsGiveTheSameValuesOnEveryPath)
{
    const std::vector<BankPath> paths = VectorPaths();
    ASSERT_FALSE(paths.empty()) << "every x86 target has SSE2";
    for (const char* name : {"steel-E2-30c.wav", "clean-A2+30c.wav", "steel-G3+30c.wav", "clean-B3-30c.wav"})
    {
        WavAudio wav;
        std::string sError;
        ASSERT_TRUE(ReadWavFile(TestDataPath(name), &wav, &sError)) << sError;
        const std::vector<std::uint64_t> ref = RunRecording(wav, BankPath::PerBand);
        ASSERT_GT(ref.size(), 30u);
        for (BankPath p : paths)
        {
            const std::vector<std::uint64_t> got = RunRecording(wav, p);
            ASSERT_EQ(got.size(), ref.size());
            for (size_t i = 0; i < ref.size(); ++i)
                ASSERT_EQ(got[i], ref[i]) << name << " on " << Name(p) << ": block " << i << " differs";
        }
    }
}

// Banks of odd shapes with inputs that include zeros of both signs and subnormal
// values, over blocks at alternating offsets, with the peaks and the sum of the
// last stage. The coefficients are random: with b1 = 0 and b2 = -b0 as designs
// give (the short form of the input terms), then with any b1 and b2. A designed
// bank's last block also gets an infinite sample, after which the short form
// must give way to the plain one.
TEST_F(BankPathsTest, OddBankShapesMatchThePerBandRecursion)
{
    const struct { int iBands, iBlock; bool bDesigned; } shapes[] = {
        {60, 1200, true}, {13, 25, true}, {9, 2, true}, {60, 1200, false}, {13, 25, false},
        {5, 31, false},   {9, 2, false},  {6, 1, false}, {64 + 7, 6, false}};
    constexpr int kBlocks = 7;
    std::mt19937 rng(14);
    std::uniform_real_distribution<float> coef(-0.9f, 0.9f), sample(-30000.0f, 30000.0f);
    for (const auto& s : shapes)
    {
        SetStreamFormat(48000.0f, s.iBlock);
        std::vector<float> in(static_cast<size_t>(g_iBufMonoLen));
        for (BankPath p : VectorPaths())
        {
            SCOPED_TRACE(std::string(Name(p)) + ", " + std::to_string(s.iBands) + " bands, block size " +
                         std::to_string(s.iBlock) + (s.bDesigned ? ", designed" : ""));
            std::vector<BpFilter> bank[2][2];  // [reference, path][stage]
            std::vector<float> peak[2], sum[2];
            for (int r = 0; r < 2; ++r)
            {
                peak[r].assign(static_cast<size_t>(s.iBands), 0.0f);
                sum[r].assign(static_cast<size_t>(g_iBufMonoLen), 0.0f);
            }
            for (auto& run : bank)
                for (auto& stage : run)
                {
                    stage.resize(static_cast<size_t>(s.iBands));
                    for (BpFilter& f : stage)
                        ASSERT_EQ(f.Init(g_iBufMonoLen, g_iBlockSize), 1);
                }
            for (int b = 0; b < s.iBands; ++b)
                for (auto& run : bank)
                {
                    BpFilter& f = run[0][static_cast<size_t>(b)];
                    rng.seed(static_cast<unsigned>(b));
                    f.m_fB0 = coef(rng);
                    f.m_fB1 = s.bDesigned ? 0.0f : coef(rng);
                    f.m_fB2 = s.bDesigned ? -f.m_fB0 : coef(rng);
                    f.m_fA1 = coef(rng);
                    f.m_fA2 = std::fabs(coef(rng)) * 0.5f;  // stable: |a1| < 1 + a2
                }
            for (int block = 0; block < kBlocks; ++block)
            {
                const int iOffset = (block % 2) * g_iBlockSize;
                for (int n = 0; n < g_iBlockSize; ++n)
                {
                    const int k = (block * g_iBlockSize + n) % 5;
                    in[static_cast<size_t>(iOffset + n)] =
                        k == 0 ? 0.0f : k == 1 ? -0.0f : k == 2 ? 1e-40f : sample(rng);
                }
                if (s.bDesigned && block == kBlocks - 1)
                    in[static_cast<size_t>(iOffset + g_iBlockSize / 2)] = INFINITY;
                BpFilter* ref[2] = {bank[0][0].data(), bank[0][1].data()};
                BpFilter* got[2] = {bank[1][0].data(), bank[1][1].data()};
                ASSERT_TRUE(SelectBankPath(BankPath::PerBand));
                BpFilter::ProcessBank(in.data(), iOffset, ref, s.iBands, 2, peak[0].data(), sum[0].data());
                ASSERT_TRUE(SelectBankPath(p));
                BpFilter::ProcessBank(in.data(), iOffset, got, s.iBands, 2, peak[1].data(), sum[1].data());
                ASSERT_EQ(peak[0], peak[1]) << "peaks differ";
                ASSERT_EQ(std::memcmp(sum[0].data(), sum[1].data(), sizeof(float) * sum[0].size()), 0) << "sums differ";
                // The last stage whole, the first one's history for the next block.
                const int iEnd = iOffset + g_iBlockSize;
                const int iPrev = iEnd >= 2 ? iEnd - 2 : iEnd - 2 + g_iBufMonoLen;
                for (int b = 0; b < s.iBands; ++b)
                    ASSERT_TRUE(std::memcmp(ref[1][b].Output(), got[1][b].Output(),
                                            sizeof(float) * static_cast<size_t>(g_iBufMonoLen)) == 0 &&
                                Bits(ref[0][b].Output()[iEnd - 1]) == Bits(got[0][b].Output()[iEnd - 1]) &&
                                Bits(ref[0][b].Output()[iPrev]) == Bits(got[0][b].Output()[iPrev]))
                        << "band " << b << " differs in block " << block;
            }
            for (auto& run : bank)
                for (auto& stage : run)
                    for (BpFilter& f : stage)
                        f.Release();
        }
    }
}

} // namespace
