// The panel under its three threads: the window thread clicks and drags, the frame
// tick draws ten times a second (here as fast as it can) and the audio thread runs
// blocks and lights the limiter lamp. Run under ThreadSanitizer, any field of a
// control that both sides touch without an atomic or the label lock shows up here.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

TEST(PanelThreads, ClicksFramesAndTheLimiterLampRunTogether)
{
    SetStreamFormat(48000.0f, 240);
    CDspEngine engine;
    CSampleBuffer input;
    ASSERT_EQ(engine.InitDSP(), 1);
    ASSERT_EQ(input.Init("test", "input", g_iBufMonoLen, g_iBlockSize), 1);
    CRecordingPanelHost host;
    CRecordingDevice device;
    g_XEffects.Attach(&engine, &host);
    g_XEffects.Init();
    g_pRenderDevice = &device;
    // The panel lets go of this test's objects however the test ends.
    struct Detach
    {
        ~Detach()
        {
            g_XEffects.Attach(nullptr, nullptr);
            g_pRenderDevice = nullptr;
        }
    } detach;
    g_iRedrawCommand = 0;
    g_bRenderEnabled = 1;
    g_bPanelDrawn = 0;
    g_TextQueue.m_iCount = 0;

    std::atomic<int> frames{0};
    TestThreads threads;
    threads.Start([&] {
        while (threads.Running())
        {
            device.m_Calls.clear();
            FrameTick(0, 0, 0, 0, 0);
            if (frames.fetch_add(1) % 7 == 0)
                g_bPanelDrawn = 0;  // now and then a full redraw, as after a restore
        }
    });
    threads.Start([&] {
        int offset = 0;
        while (threads.Running())
        {
            engine.Process(&input, offset);
            offset = offset ? 0 : g_iBlockSize;
            RequestRedrawIfIdle(CMD_LIMITER, 0);
        }
    });

    CRackSlot& tuner = g_XEffects.Tuner();
    auto click = [](int x, int y) {
        for (int message : {MSG_LBUTTON_DOWN, MSG_LBUTTON_UP})
            if (!g_XEffects.CheckControls(x, y, message))
                g_XEffects.Mouse(x, y, message);
    };
    for (int round = 0; round < 60; ++round)
    {
        click(tuner.m_pStringButtons[round % 6].m_iX + 5, 110);
        click(round % 2 ? 180 : 150, 110);  // tuning steps relabel the strings
        click(60, 110);                     // the tuner slot's power
        click(505, 12);                     // title-bar Power
        const CKnob& knob = g_XEffects.m_Knobs[0];
        g_XEffects.Mouse(knob.m_iCx, knob.m_iCy, MSG_LBUTTON_DOWN);
        g_XEffects.Mouse(knob.m_iCx + 8, knob.m_iCy - 4, MSG_MOUSE_MOVE);
        g_XEffects.Mouse(knob.m_iCx + 8, knob.m_iCy - 4, MSG_LBUTTON_UP);
        std::this_thread::yield();
    }
    ASSERT_TRUE(WaitUntil([&] { return frames.load() >= 20; })) << frames.load() << " frames of 20";
    threads.StopAndJoin();

    // Sixty Power clicks (an even number) leave audio running.
    EXPECT_EQ(g_XEffects.m_bPower.load(), 1);
    EXPECT_EQ(host.m_Requests.size(), 60u);
    input.Release("test", "input");
    engine.Release();
}

} // namespace
