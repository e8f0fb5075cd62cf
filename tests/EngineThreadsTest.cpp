// The engine's cross-thread words under load: an audio thread runs blocks while a
// "window" thread turns the knob, switches the tuner and picks strings, and a
// "frame" thread reads the read-out. Run under ThreadSanitizer, any unsynchronised
// shared word shows up here.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "render/RedrawRequest.h"
#include "tests/TestSupport.h"
#include "tools/PluckedString.h"
#include "tuner/ReadOut.h"

namespace {

TEST(EngineThreads, PanelAndReadOutRunBesideTheAudioThread)
{
    SetStreamFormat(48000.0f, 240);
    CDspEngine engine;
    CSampleBuffer input;
    ASSERT_EQ(engine.InitDSP(), 1);
    ASSERT_EQ(input.Init("test", "input", g_iBufMonoLen, g_iBlockSize), 1);
    std::atomic<int> tunerSlotOn{1};
    engine.SetTunerSwitch(&tunerSlotOn);

    PluckedStringParams p;
    p.fFrequency = 146.83f;
    p.fSeconds = 1.0f;
    p.fPeak = 31000.0f;
    const std::vector<float> signal = RenderPluckedString(p);

    std::atomic<int> blocks{0};
    TestThreads threads;
    threads.Start([&] {
        int offset = 0;
        size_t pos = 0;
        while (threads.Running())
        {
            for (int c = 0; c < 2; ++c)
                for (int n = 0; n < g_iBlockSize; ++n)
                    input.Channel(c)[offset + n] = signal[(pos + n) % signal.size()];
            engine.Process(&input, offset);
            pos += g_iBlockSize;
            offset = offset == 0 ? g_iBlockSize : 0;
            blocks.fetch_add(1);
        }
    });
    threads.Start([&] {
        Tuner2& t = engine.m_Tuner2;
        while (threads.Running())
        {
            const ReadOut r = EvaluateReadOut(t.m_fTargetFreq.load(), t.m_Tuner.Measured(), t.m_fMeasuredFreq.load());
            if (!r.bPitch)
                t.m_fMeasuredFreq.store(0.0f);
            (void)engine.m_Level.m_In.m_fHeldPeak[0].load();
            (void)engine.m_Level.m_Out.m_fHeldPeak[1].load();
            if (g_iRedrawCommand.load() != 0)
                g_iRedrawCommand.store(0);
            std::this_thread::yield();
        }
    });

    // The window thread: knob, strings, tunings and the tuner switch.
    Tuner2& t = engine.m_Tuner2;
    for (int i = 0; i < 400; ++i)
    {
        engine.m_Mixer.m_fInputGain.store(0.5f + static_cast<float>(i % 9));
        t.m_iSelectedTuning.store(i % 32);
        t.SelectString(i % 6);
        if (i % 50 == 25)
        {
            tunerSlotOn.store(tunerSlotOn.load() ? 0 : 1);
            engine.m_Analyser.m_iBandMode.store(tunerSlotOn.load() ? 1 : 2);
            engine.m_Analyser.RequestRetune();
            if (!tunerSlotOn.load())
                t.m_Tuner.SetMeasured(0.0f);
        }
        RequestRedraw(11, i % 6, 11, i % 6);
        std::this_thread::yield();
    }
    ASSERT_TRUE(WaitUntil([&] { return blocks.load() >= 200; })) << blocks.load() << " blocks of 200";
    threads.StopAndJoin();

    // Whatever the interleaving, the limiter kept the output in range.
    for (int n = 0; n < g_iBufMonoLen; ++n)
        ASSERT_LE(std::abs(engine.m_Level.m_fOutput.Channel(0)[n]), 30000.0f * 1.0001f);
    engine.Release();
    input.Release("test", "input");
    g_iRedrawCommand.store(0);
}

} // namespace
