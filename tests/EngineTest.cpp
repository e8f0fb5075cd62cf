#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/Clock.h"
#include "dsp/Alloc.h"
#include "dsp/NoteTable.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "render/RedrawRequest.h"
#include "tests/TestSupport.h"
#include "tools/PluckedString.h"

namespace {

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        engine = std::make_unique<CDspEngine>();
        ASSERT_EQ(engine->InitDSP(), 1);
        ASSERT_EQ(input.Init("test", "input", g_iBufMonoLen, g_iBlockSize), 1);
        g_iRedrawCommand = 0;
    }
    void TearDown() override
    {
        engine->Release();
        input.Release("test", "input");
        g_iRedrawCommand = 0;
    }

    // Runs a signal (both channels) through the engine block by block and returns
    // the left output.
    std::vector<float> Run(const std::vector<float>& signal)
    {
        std::vector<float> out;
        int offset = 0;
        for (size_t start = 0; start + g_iBlockSize <= signal.size(); start += g_iBlockSize)
        {
            for (int c = 0; c < 2; ++c)
                std::copy(signal.begin() + start, signal.begin() + start + g_iBlockSize, input.Channel(c) + offset);
            const CSampleBuffer* result = engine->Process(&input, offset);
            out.insert(out.end(), result->Channel(0) + offset, result->Channel(0) + offset + g_iBlockSize);
            offset = offset == 0 ? g_iBlockSize : 0;
        }
        return out;
    }

    static std::vector<float> Pluck(float fHz, float fSeconds, float fPeak)
    {
        PluckedStringParams p;
        p.fFrequency = fHz;
        p.fSeconds = fSeconds;
        p.fPeak = fPeak;
        return RenderPluckedString(p);
    }

    std::unique_ptr<CDspEngine> engine;
    CSampleBuffer input;
};

TEST_F(EngineTest, NoteTableIsEqualTemperedFromA440)
{
    const float* note = g_pNoteFreq.load();
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note[57], 440.0f);  // the rest follow from the semitone steps
    for (int k = 1; k < NUM_NOTES; ++k)
        EXPECT_NEAR(note[k] / note[k - 1], std::pow(2.0, 1.0 / 12.0), 1e-6);
    EXPECT_STREQ(g_szNoteName[57 % 12], "A");
    EXPECT_STREQ(g_szNoteName[1], "C#");
}

TEST_F(EngineTest, InitAndReleaseWriteTheirLogLines)
{
    const std::vector<std::string> lines = LogLines();
    const std::string params = "g_iBufWordLen = " + std::to_string(g_iBufWordLen) +
                               " , g_iBufMonoLen = 2400 , LfoBufLen = 96000 , g_iBlockSize = 1200";
    auto at = std::find(lines.rbegin(), lines.rend(), params);
    ASSERT_NE(at, lines.rend());
    EXPECT_EQ(*(at + 1), "InitDSP()");
    const int releases = CountLogLines("Release()");
    engine->Release();
    EXPECT_EQ(CountLogLines("Release()"), releases + 1);
}

// The default chain halves the signal, and switching the tuner off changes no sample.
TEST_F(EngineTest, DefaultChainHalvesTheSignalWithTheTunerOnOrOff)
{
    const std::vector<float> signal = Pluck(110.0f, 1.0f, 20000.0f);
    const std::vector<float> withTuner = Run(signal);
    ASSERT_EQ(withTuner.size(), signal.size());
    for (size_t i = 0; i < signal.size(); ++i)
        ASSERT_FLOAT_EQ(withTuner[i], signal[i] * 0.5f) << i;
    EXPECT_EQ(g_iRedrawCommand.load(), 0);
    EXPECT_GT(engine->m_Tuner2.m_Tuner.Measured(), 100.0f);

    std::atomic<int> tunerSlotOn{0};
    engine->SetTunerSwitch(&tunerSlotOn);
    engine->m_Tuner2.m_Tuner.SetMeasured(0.0f);
    engine->m_Tuner2.m_fTrackingFreq = 1.0f;
    const std::vector<float> withoutTuner = Run(signal);
    EXPECT_EQ(withTuner, withoutTuner);
    // Switched off, the tracker does not run at all.
    EXPECT_EQ(engine->m_Tuner2.m_fTrackingFreq.load(), 1.0f);
    EXPECT_EQ(engine->m_Tuner2.m_Tuner.Measured(), 0.0f);

    tunerSlotOn = 1;
    Run(signal);
    EXPECT_NE(engine->m_Tuner2.m_fTrackingFreq.load(), 1.0f);
    engine->SetTunerSwitch(nullptr);
    EXPECT_TRUE(engine->TunerOn());
}

TEST_F(EngineTest, LoudInputIsLimitedAndPostsTheLimiterCommand)
{
    engine->m_Mixer.m_fInputGain = 5.0f;
    engine->m_Mixer.m_fOutputGain = 1.0f;
    const std::vector<float> out = Run(Pluck(82.41f, 0.5f, 30000.0f));
    float peak = 0.0f;
    for (float v : out)
        peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 30000.0f * 1.0001f);
    EXPECT_GT(peak, 20000.0f);
    EXPECT_EQ(g_iRedrawCommand.load(), 21);
    // The gain is that of the last over block, whose over-peak was the smallest.
    EXPECT_LT(engine->m_Limiter.m_fGain, 1.0f);
}

TEST_F(EngineTest, SettingsSurviveARestart)
{
    engine->m_Mixer.m_fInputGain = 2.5f;
    engine->m_Tuner2.m_iSelectedTuning = 3;
    engine->m_Tuner2.m_iSelectedString = 4;
    engine->m_Analyser.m_iBandMode = 2;
    engine->m_Limiter.m_fGain = 0.5f;
    engine->Release();
    ASSERT_EQ(engine->InitDSP(), 1);
    EXPECT_EQ(std::make_tuple(engine->m_Mixer.m_fInputGain.load(), engine->m_Tuner2.m_iSelectedTuning.load(),
                              engine->m_Tuner2.m_iSelectedString.load(), engine->m_Analyser.m_iBandMode.load()),
              std::make_tuple(2.5f, 3, 4, 2));
    EXPECT_EQ(engine->m_Limiter.m_fGain, 1.0f);
    // The target is the selected string's ("Drop E", C#3), as its button shows.
    EXPECT_NEAR(engine->m_Tuner2.m_fTargetFreq.load(), 138.59f, 0.005f);
}

TEST_F(EngineTest, CpuTestTimesTheFilterAndGivesBackItsMemory)
{
    const DWORD bytes = g_dwMemCount.load();
    const DWORD t0 = TimeMs();
    const int ms = CpuTest();
    const DWORD elapsed = TimeMs() - t0;
    EXPECT_GE(ms, 0);
    EXPECT_LE(static_cast<DWORD>(ms), elapsed + 1);
    EXPECT_EQ(g_dwMemCount.load(), bytes);
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(lines.back(), "CPU test = " + std::to_string(ms) + " ms");

    SetAllocFailAt(2);
    EXPECT_EQ(CpuTest(), 0);
    SetAllocFailAt(0);
    EXPECT_EQ(g_dwMemCount.load(), bytes);
}

} // namespace
