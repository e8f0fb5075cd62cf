// The Options dialog's OK restarting ASIO again and again while a stand-in driver
// thread runs the engine: the driver must be stopped before the engine is rebuilt,
// so under ThreadSanitizer any other order shows up as a race, and the engine's
// memory returns to its level after every restart.
#include <gtest/gtest.h>

#include <atomic>

#include "app/OptionsChoice.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "base/Log.h"
#include "dsp/Alloc.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "tests/TestSupport.h"

namespace {

// A driver whose callback thread runs the engine between start and release.
struct StandInDriver
{
    CDspEngine engine;
    CSampleBuffer input;
    std::atomic<long> blocks{0};
    TestThreads callbacks;  // last: stopped before the engine goes
} *g_pDriver = nullptr;

int Present() { return 1; }
int Init()
{
    // What the ASIO host does: stream parameters, then the engine rebuilt.
    SetStreamFormat(g_fRequestedSamplingFreq, g_iRequestedBlockSize);
    g_fPrevSamplingFreq = g_fSamplingFreq;
    StandInDriver& d = *g_pDriver;
    d.input.Release("test", "input");
    d.engine.Release();
    return d.input.Init("test", "input", g_iBufMonoLen, g_iBlockSize) && d.engine.InitDSP();
}
int Start()
{
    StandInDriver& d = *g_pDriver;
    d.callbacks.Start([&d] {
        int iOffset = 0;
        float fPhase = 0.0f;
        while (d.callbacks.Running())
        {
            for (int c = 0; c < 2; ++c)
                for (int n = 0; n < g_iBlockSize; ++n)
                    d.input.Channel(c)[iOffset + n] = 8000.0f * ((fPhase += 0.01f) > 1.0f ? (fPhase = -1.0f) : fPhase);
            d.engine.Process(&d.input, iOffset);
            iOffset = iOffset == 0 ? g_iBlockSize : 0;
            d.blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });
    return 1;
}
void Release() { g_pDriver->callbacks.StopAndJoin(); }
void NoMessage(const char*, const char*) {}

// The stand-in platform for one test; what the test changed is put back however
// it ends, the driver's thread stopped first.
class OptionsRestartThreads : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_pDriver = &m_Driver;
        m_Saved = g_AudioPlatform;
        g_AudioPlatform = {};
        g_AudioPlatform.aBackends[AUDIO_DRIVER_ASIO] = {&Present, nullptr, &Init, &Start, nullptr, &Release, nullptr, false};
        g_AudioPlatform.ShowError = &NoMessage;
        g_iWindowsMajorVersion = 10;
        g_iNumAudioDrivers = 1;
        g_AudioDriverList[0].iType = AUDIO_DRIVER_ASIO;
        g_iAudioDriver = g_iConfirmedAudioDriver = AUDIO_DRIVER_ASIO;
        g_fRequestedSamplingFreq = 48000.0f;
        g_iRequestedBlockSize = 256;
        g_iMaxSamplingFreq = 192000;
    }
    void TearDown() override
    {
        Release();
        m_Driver.engine.Release();
        m_Driver.input.Release("test", "input");
        g_AudioPlatform = m_Saved;
        g_iWindowsMajorVersion = 0;
        g_iNumAudioDrivers = 0;
        g_pDriver = nullptr;
    }
    StandInDriver m_Driver;
    AudioPlatform m_Saved{};
};

TEST_F(OptionsRestartThreads, FiftyOkRestartsWhileAudioRuns)
{
    ASSERT_EQ(InitAudio(), 1);
    ASSERT_EQ(StartAudio(), 1);

    const int iThumb250 = 25;  // 250 frames: a short block keeps the test quick
    DWORD dwMemLevel = 0, dwBlockLevel = 0;
    for (int i = 0; i < 50; ++i)
    {
        // Alternate the rate so the engine really changes size.
        const OptionsChoice choice{0, i % 2, 0, 0, i % 2 == 0 ? 2 : 3, iThumb250, true, 0};
        ASSERT_EQ(OptionsOk(choice), OptionsRestart::Now);
        const long lBefore = m_Driver.blocks.load();
        ASSERT_TRUE(WaitUntil([&] { return m_Driver.blocks.load() >= lBefore + 3; }))
            << "no audio after restart " << i << ": " << m_Driver.blocks.load() - lBefore << " blocks in "
            << kWaitSeconds << " s, 3 wanted";
        if (i == 1)
        {
            dwMemLevel = g_dwMemCount.load();
            dwBlockLevel = g_dwMemBlockCount.load();
        }
        else if (i > 1 && i % 2 == 1)
        {
            EXPECT_EQ(g_dwMemCount.load(), dwMemLevel) << "restart " << i;
            EXPECT_EQ(g_dwMemBlockCount.load(), dwBlockLevel) << "restart " << i;
        }
    }
    EXPECT_EQ(g_iBlockSize, 250);
    EXPECT_EQ(g_fSamplingFreq, 96000.0f);
}

} // namespace
