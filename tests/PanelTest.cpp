// The rack panel's commands and the frame tick, driven by scripted mouse messages
// and frames through the recording device.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "panel/FrameTick.h"
#include "panel/PanelHost.h"
#include "panel/XEffects.h"
#include "render/RecordingDevice.h"
#include "render/RedrawRequest.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"
#include "tests/TestSupport.h"

namespace {

using Kind = CRecordingDevice::Kind;

// A press and release at one point, through the window procedure's order.
int Send(int x, int y, int iMessage)
{
    return g_XEffects.CheckControls(x, y, iMessage) || g_XEffects.Mouse(x, y, iMessage);
}
void Click(int x, int y)
{
    Send(x, y, MSG_LBUTTON_DOWN);
    Send(x, y, MSG_LBUTTON_UP);
}

class PanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetStreamFormat(48000.0f, 1200);
        ASSERT_EQ(engine.InitDSP(), 1);
        g_pRenderDevice = &device;
        g_XEffects.Attach(&engine, &host);
        g_XEffects.Init();
        g_iRedrawCommand = 0;
        g_iLastCommand = 0;
        g_bRenderEnabled = 1;
        g_bPanelDrawn = 0;
        g_bFirstFrameDone = 0;
        g_iFrameCount = 0;
        g_TextQueue.m_iCount = 0;
    }
    void TearDown() override
    {
        g_XEffects.Attach(nullptr, nullptr);
        g_pRenderDevice = nullptr;
        engine.Release();
    }
    void Tick()
    {
        device.m_Calls.clear();
        FrameTick(0, 0, 0, 0, 0);
    }
    // The colour of the text s drawn since the last tick, if it was drawn.
    std::optional<std::uint32_t> TextColour(const std::string& s) const
    {
        for (const auto& c : device.m_Calls)
            if (c.kind == Kind::Text && c.sText == s)
                return c.uValue;
        return std::nullopt;
    }
    bool TextDrawn(const std::string& s) const { return TextColour(s).has_value(); }
    CRackSlot& Tuner() { return g_XEffects.Tuner(); }

    CDspEngine engine;
    CRecordingDevice device;
    CRecordingPanelHost host;
};

TEST_F(PanelTest, StringsAndTuningSteps)
{
    const int sx = Tuner().m_pStringButtons[3].m_iX + 5, sy = 110;
    Click(sx, sy);
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedString.load(), 3);
    EXPECT_NEAR(engine.m_Tuner2.m_fTargetFreq.load(), 196.00f, 0.01f);
    EXPECT_EQ(Tuner().m_pStringButtons[3].m_bOn, 1);
    EXPECT_EQ(Tuner().m_pStringButtons[0].m_bOn, 0);
    EXPECT_EQ(g_iRedrawCommand.load(), 11);

    Click(180, 110);  // "+": tuning 29 "F", string 3 stays selected
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedTuning.load(), 29);
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedString.load(), 3);
    EXPECT_NEAR(engine.m_Tuner2.m_fTargetFreq.load(), 207.65f, 0.01f);
    EXPECT_STREQ(Tuner().m_pStringButtons[1].m_szLabel, "A#");
    EXPECT_EQ(g_iRedrawCommand.load(), 20);
    for (int i = 0; i < 5; ++i)
        Click(180, 110);
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedTuning.load(), 31);  // stops at the last
    engine.m_Tuner2.m_iSelectedTuning = 0;
    Click(150, 110);  // "-" on tuning 0 changes nothing
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedTuning.load(), 0);
}

TEST_F(PanelTest, DragOffAStringReleasesItWithoutSelecting)
{
    const float target = engine.m_Tuner2.m_fTargetFreq.load();
    Send(Tuner().m_pStringButtons[2].m_iX + 3, 110, MSG_LBUTTON_DOWN);
    EXPECT_EQ(Tuner().m_pStringButtons[2].m_bPressed, 1);
    g_iRedrawCommand = 0;
    EXPECT_EQ(Send(300, 160, MSG_MOUSE_MOVE), 1);
    EXPECT_EQ(Tuner().m_pStringButtons[2].m_bPressed, 0);
    EXPECT_EQ(g_iRedrawCommand.load(), 11);
    EXPECT_EQ(g_iRedrawIndex.load(), 2);
    Send(300, 160, MSG_LBUTTON_UP);
    EXPECT_EQ(engine.m_Tuner2.m_fTargetFreq.load(), target);
}

TEST_F(PanelTest, SlotPowerSwitchesTheTunerAndItsBands)
{
    Tick();  // the first frame marks the switched-on slot's button checked
    engine.m_Tuner2.m_Tuner.SetMeasured(110.0f);
    Click(60, 110);
    EXPECT_EQ(Tuner().m_bOn.load(), 0);
    EXPECT_FALSE(engine.TunerOn());
    EXPECT_EQ(engine.m_Analyser.m_iBandMode.load(), 2);
    EXPECT_EQ(engine.m_Tuner2.m_Tuner.Measured(), 0.0f);
    EXPECT_EQ(g_iRedrawCommand.load(), 3);
    Click(60, 110);
    EXPECT_TRUE(engine.TunerOn());
    EXPECT_EQ(engine.m_Analyser.m_iBandMode.load(), 1);
}

TEST_F(PanelTest, VolumeKnobSetsTheGainOnlyOnReleaseNearIt)
{
    Send(100, 190, MSG_LBUTTON_DOWN);  // straight up: the middle of 0.1..5.0
    Send(100, 189, MSG_MOUSE_MOVE);
    EXPECT_EQ(engine.m_Mixer.m_fInputGain.load(), 1.0f);
    Send(100, 189, MSG_LBUTTON_UP);
    EXPECT_NEAR(engine.m_Mixer.m_fInputGain.load(), 2.55f, 0.01f);
    Send(120, 198, MSG_LBUTTON_UP);  // twice the radius away: not taken
    EXPECT_NEAR(engine.m_Mixer.m_fInputGain.load(), 2.55f, 0.01f);
}

TEST_F(PanelTest, TitleBarButtonsAskThePlatformAndPowerPausesAudio)
{
    for (int x : {260, 320, 380, 440, 505, 505})
        Click(x, 12);
    Click(510, 195);  // "Mixer"
    const std::vector<std::string> expected = {"options", "website", "help", "about", "pause", "start", "mixer"};
    EXPECT_EQ(host.m_Requests, expected);
    EXPECT_EQ(CountLogLines("CXEffects::CheckControls() Pause sampler"), 1);

    Tick();           // takes the Mixer button's request
    Click(505, 12);   // off again: the next frame rewrites the title in grey
    Tick();
    EXPECT_EQ(TextColour("Tonquarry Guitar Tuner"), 0xa0a0a0u);
}

TEST_F(PanelTest, FrameTickDrawsFullFramesPartialFramesAndRequests)
{
    Tick();  // first frame: grey clear and the whole panel
    EXPECT_EQ(device.m_Calls[1].kind, Kind::Clear);
    EXPECT_TRUE(TextDrawn("Options"));
    EXPECT_TRUE(TextDrawn("Vol in"));
    EXPECT_EQ(device.m_Calls.back().kind, Kind::Present);
    EXPECT_EQ(g_bFirstFrameDone.load(), 1);

    Tick();  // partial: only the live displays
    EXPECT_FALSE(TextDrawn("Options"));
    EXPECT_TRUE(TextDrawn("tune up") || TextDrawn("in tune"));

    ASSERT_EQ(RequestRedraw(25, 0, 25, 0), 1);
    Tick();
    EXPECT_TRUE(TextDrawn("Options"));
    EXPECT_FALSE(TextDrawn("Website"));
    EXPECT_EQ(g_iFrameCount.load(), 1);

    // A request never swallows a due full redraw (window restored).
    g_bPanelDrawn = 0;
    ASSERT_EQ(RequestRedrawIfIdle(21, 0), 1);
    Tick();
    EXPECT_TRUE(TextDrawn("Website"));
    EXPECT_EQ(g_iRedrawCommand.load(), 0);
    EXPECT_EQ(g_iFrameCount.load(), 2);

    // A failing begin-scene keeps the request; a minimised window draws nothing.
    ASSERT_EQ(RequestRedraw(18, 0, 18, 0), 1);
    device.m_bFailBeginScene = true;
    Tick();
    EXPECT_EQ(g_iRedrawCommand.load(), 18);
    device.m_bFailBeginScene = false;
    g_bRenderEnabled = 0;
    Tick();
    EXPECT_TRUE(device.m_Calls.empty());
}

TEST_F(PanelTest, ALimiterLampNeverHoldsBackAClickedControl)
{
    Tick();
    ASSERT_EQ(RequestRedrawIfIdle(CMD_LIMITER, 0), 1);  // a loud block
    Click(505, 12);                                      // Power off
    EXPECT_EQ(g_iRedrawCommand.load(), CMD_TOP_BUTTON);
    EXPECT_EQ(RequestRedrawIfIdle(CMD_LIMITER, 0), 0);   // the lamp waits its turn
    EXPECT_EQ(RequestRedraw(CMD_STRINGS, 1, CMD_STRINGS, 1), 0);  // other controls still queue
    Tick();
    EXPECT_EQ(TextColour("Tonquarry Guitar Tuner"), 0xa0a0a0u);
    EXPECT_EQ(g_iRedrawCommand.load(), 0);
}

// Audio never started: there are no tunings yet, but the clicked string and the
// tuning steps are kept, so the panel and the tuner agree once the engine starts.
TEST(PanelWithoutTunings, StringAndTuningChoicesWaitForTheEngine)
{
    CDspEngine engine;
    CRecordingPanelHost host;
    CRecordingDevice device;
    g_pRenderDevice = &device;
    g_XEffects.Attach(&engine, &host);
    g_XEffects.Init();
    CRackSlot& tuner = g_XEffects.Tuner();
    const int tuning = engine.m_Tuner2.m_iSelectedTuning.load();
    Click(tuner.m_pStringButtons[3].m_iX + 5, 110);
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedString.load(), 3);
    EXPECT_EQ(tuner.m_pStringButtons[3].m_bOn.load(), 1);
    Click(150, 110);  // "-" needs no table
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedTuning.load(), tuning - 1);
    Click(180, 110);  // "+" stops at the last tuning there is
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedTuning.load(), tuning - 1);

    SetStreamFormat(48000.0f, 1200);
    ASSERT_EQ(engine.InitDSP(), 1);
    engine.m_Tuner2.SelectString(engine.m_Tuner2.m_iSelectedString.load());
    EXPECT_EQ(engine.m_Tuner2.m_iSelectedString.load(), 3);
    EXPECT_NEAR(engine.m_Tuner2.m_fTargetFreq.load(),
                engine.m_Tuner2.m_fStringFreq[tuning - 1][3], 0.001f);
    g_XEffects.Attach(nullptr, nullptr);
    g_pRenderDevice = nullptr;
    engine.Release();
}

} // namespace
