// The live displays drawn through the recording device: the level meter at its
// limits and the tuner read-out without a pitch (the golden frames show the rest).
#include <gtest/gtest.h>

#include <string>

#include "dsp/Level.h"
#include "render/RecordingDevice.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"
#include "tuner/Tuner2.h"

namespace {

class DisplayDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_pRenderDevice = &device;
        g_bRichRendering = 1;
        g_TextQueue.m_iCount = 0;
    }
    void TearDown() override
    {
        g_pRenderDevice = nullptr;
        g_TextQueue.m_iCount = 0;
    }
    // The queued text item at (x, y), or null.
    const CTextQueue::Item* TextAt(int x, int y) const
    {
        for (int i = 0; i < g_TextQueue.m_iCount; ++i)
            if (g_TextQueue.m_Items[i].x == x && g_TextQueue.m_Items[i].y == y)
                return &g_TextQueue.m_Items[i];
        return nullptr;
    }
    CRecordingDevice device;
};

TEST_F(DisplayDrawTest, LevelBarsAreLimitedToOneHundredPixels)
{
    Level level;
    level.m_iMeterForm = 2;
    level.m_In.m_fHeldPeak[0] = -5.0f * 32767.0f;  // input gain 5 on a full-scale input
    level.m_In.m_fHeldPeak[1] = -16384.0f;
    level.m_Out.m_fHeldPeak[0] = -40000.0f;
    level.m_Out.m_fHeldPeak[1] = 0.0f;
    level.Draw(0);
    const auto line = device.Draws().back();
    ASSERT_EQ(line.kind, CRecordingDevice::Kind::LineList);
    ASSERT_EQ(line.coloured.size(), 64u);
    const float tops[4] = {61.0f, 111.0f, 61.0f, 161.0f};  // 100, 50, 100 and 0 pixels
    for (int bar = 0; bar < 4; ++bar)
        for (int i = 0; i < 8; ++i)
        {
            const ColouredVertex& end = line.coloured[2 * (8 * bar + i) + 1];
            ASSERT_EQ(end.y, tops[bar]) << "bar " << bar;
            ASSERT_EQ(line.coloured[2 * (8 * bar + i)].y, 161.0f);
        }
    EXPECT_EQ(line.coloured[0].x, 23.0f);
    EXPECT_EQ(line.coloured[2 * 31].x, 58.0f);
    ASSERT_NE(TextAt(28, 46), nullptr);
    EXPECT_STREQ(TextAt(28, 46)->szText, "Level");

    // The partial form draws no captions.
    g_TextQueue.m_iCount = 0;
    level.Draw(1);
    EXPECT_EQ(g_TextQueue.m_iCount, 0);
}

TEST_F(DisplayDrawTest, HorizontalMeterShowsTheInputOnly)
{
    Level level;  // the construction form is horizontal
    level.m_In.m_fHeldPeak[0] = -16383.5f;
    level.m_In.m_fHeldPeak[1] = -99999.0f;
    level.Draw(1);
    const auto line = device.Draws().back();
    ASSERT_EQ(line.coloured.size(), 20u);
    EXPECT_EQ(line.coloured[1].x, 171.0f + 50.0f);
    EXPECT_EQ(line.coloured[0].y, 191.0f);
    EXPECT_EQ(line.coloured[19].x, 271.0f);
    EXPECT_EQ(line.coloured[19].y, 202.0f);
}

TEST_F(DisplayDrawTest, ReadOutWithoutPitchClearsTheCopyAndLightsNothing)
{
    Tuner2 tuner;
    tuner.m_fTargetFreq = 82.41f;
    tuner.m_Tuner.SetMeasured(0.5f);
    tuner.m_fMeasuredFreq = 82.0f;
    tuner.Draw(0);
    EXPECT_EQ(tuner.m_fMeasuredFreq.load(), 0.0f);
    for (int x : {222, 305, 368})
        EXPECT_EQ(TextAt(x, 83)->colour, 0x00FFB0A0u) << x;
    EXPECT_STREQ(TextAt(526, 73)->szText, " ");
    EXPECT_STREQ(TextAt(526, 89)->szText, " 0.00 Hz");
    for (const auto& d : device.Draws())  // no bar
        EXPECT_FALSE(d.kind == CRecordingDevice::Kind::ColouredStrip && d.coloured[0].colour == 0x707070ADu);
}

} // namespace
