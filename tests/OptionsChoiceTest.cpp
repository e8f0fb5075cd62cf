// The Options dialog's decisions: the trackbar's block sizes, the rate OK requests,
// and what OK and Cancel do to the drivers and the running audio.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/OptionsChoice.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "base/Log.h"
#include "dsp/ReferencePitch.h"
#include "tests/TestSupport.h"

namespace {

std::vector<std::string> g_Calls;

// Each call the dialog makes is recorded by name.
int Record(const char* szCall)
{
    g_Calls.push_back(szCall);
    return 1;
}
int Present() { return 1; }
int Init() { return Record("asio-init"); }
int Start() { return Record("asio-start"); }
void Release() { Record("asio-release"); }
int Thread() { return Record("thread"); }
int KsRun() { return Record("run"); }
void Abort() { Record("abort"); }
int WasapiInit() { return Record("wasapi-init"); }
int WasapiStart() { return Record("wasapi-start"); }
void WasapiRelease() { Record("wasapi-release"); }
void Message(const char*, const char*) { Record("message"); }

class Options : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Saved = g_AudioPlatform;
        g_AudioPlatform = {};
        g_AudioPlatform.aBackends[AUDIO_DRIVER_KS] = {nullptr, nullptr, &Thread, &KsRun, nullptr, &Abort, nullptr, true};
        g_AudioPlatform.aBackends[AUDIO_DRIVER_ASIO] = {&Present, nullptr, &Init, &Start, nullptr, &Release, nullptr, false};
        g_AudioPlatform.aBackends[AUDIO_DRIVER_WASAPI] = {nullptr,  nullptr, &WasapiInit, &WasapiStart,
                                                          nullptr,  &WasapiRelease, nullptr, false};
        g_AudioPlatform.ShowError = &Message;
        g_Calls.clear();
        // Windows XP with both drivers listed, ASIO running at 48000 Hz.
        g_iWindowsMajorVersion = 5;
        g_iNumAudioDrivers = 2;
        g_AudioDriverList[0].iType = AUDIO_DRIVER_KS;
        g_AudioDriverList[1].iType = AUDIO_DRIVER_ASIO;
        InitSamplingFreqTables();
        g_iAudioDriver = g_iConfirmedAudioDriver = AUDIO_DRIVER_ASIO;
        g_fRequestedSamplingFreq = g_fPrevSamplingFreq = 48000.0f;
        g_iMaxSamplingFreq = 192000;
        g_iRequestedBlockSize = 1200;
    }
    void TearDown() override
    {
        g_AudioPlatform = m_Saved;
        g_iWindowsMajorVersion = 0;
        g_iNumAudioDrivers = 0;
        g_iAudioDriver = g_iConfirmedAudioDriver = AUDIO_DRIVER_ASIO;
        g_iInputChannels.store(0);
    }
    AudioPlatform m_Saved{};
};

TEST_F(Options, TrackbarAndBlockSizeTable)
{
    // 1100 is no size of the table, e.g. from an older settings file.
    for (const auto& [iBlock, iThumb] : {std::pair{1200, 80}, {25, 0}, {2000, 100}, {1100, kUnknownBlockSizeThumb}})
        EXPECT_EQ(ThumbForBlockSize(iBlock), iThumb) << iBlock;
    for (int i = 0; i < kNumBlockSizes; ++i)
        EXPECT_EQ(BlockSizeIndexForThumb(ThumbForBlockSize(g_aiBlockSizes[i])), i);
    EXPECT_EQ(g_aiBlockSizes[BlockSizeIndexForThumb(kUnknownBlockSizeThumb)], 150);
    EXPECT_EQ(BlockSizeIndexForThumb(84), 16);
    EXPECT_EQ(BlockSizeIndexForThumb(-3), 0);
    EXPECT_EQ(BlockSizeIndexForThumb(250), kNumBlockSizes - 1);
    EXPECT_EQ(std::make_tuple(StepBlockSizeIndex(0, -1), StepBlockSizeIndex(20, 1), StepBlockSizeIndex(7, 1)),
              std::make_tuple(0, 20, 8));
}

TEST_F(Options, OkRequestsTheChosenRate)
{
    const struct { int iDriver, iNumDrivers, iMax, iSel; float fExpected; } cases[] = {
        {AUDIO_DRIVER_ASIO, 2, 192000, 3, 96000.0f},
        {AUDIO_DRIVER_KS, 2, 48000, 1, 24000.0f},
        {AUDIO_DRIVER_KS, 2, 48000, 7, 44100.0f},  // above the stream's maximum: the previous rate
        {AUDIO_DRIVER_ASIO, 2, 192000, -1, 32000.0f},  // nothing selected
        {AUDIO_DRIVER_ASIO, 2, 192000, 5, 32000.0f},   // past the row
        {AUDIO_DRIVER_NONE, 0, 192000, 0, 32000.0f},   // "None available" has no row
    };
    for (const auto& c : cases)
    {
        g_iAudioDriver = c.iDriver;
        g_iNumAudioDrivers = c.iNumDrivers;
        g_iMaxSamplingFreq = c.iMax;
        g_fRequestedSamplingFreq = 32000.0f;
        g_fPrevSamplingFreq = 44100.0f;
        EXPECT_EQ(RequestedFreqForSelection(c.iSel), c.fExpected) << "driver " << c.iDriver << " sel " << c.iSel;
    }
}

TEST_F(Options, OkRestartsByTheDriverConfirmedBefore)
{
    const struct {
        int iConfirmed, iDriverSel;
        bool bChanged;
        OptionsRestart restart;
        std::vector<std::string> calls;
        int iDriverAfter;
    } cases[] = {
        {AUDIO_DRIVER_ASIO, 1, false, OptionsRestart::None, {}, AUDIO_DRIVER_ASIO},
        {AUDIO_DRIVER_ASIO, 1, true, OptionsRestart::Now, {"asio-release", "asio-init", "asio-start"}, AUDIO_DRIVER_ASIO},
        // Kernel streaming chosen while ASIO runs: ASIO goes, the thread comes.
        {AUDIO_DRIVER_ASIO, 0, true, OptionsRestart::Now, {"asio-release", "thread", "run"}, AUDIO_DRIVER_KS},
        // The thread is aborted; the window restarts the audio on its report.
        {AUDIO_DRIVER_KS, 1, true, OptionsRestart::AfterThreadEnds, {"abort"}, AUDIO_DRIVER_ASIO},
        {AUDIO_DRIVER_KS, 0, false, OptionsRestart::None, {}, AUDIO_DRIVER_KS},
        // No driver in use: nothing to release; on this old system InitAudio keeps none.
        {AUDIO_DRIVER_NONE, -1, true, OptionsRestart::Now, {}, AUDIO_DRIVER_NONE},
    };
    for (const auto& c : cases)
    {
        SetUp();
        g_iAudioDriver = g_iConfirmedAudioDriver = c.iConfirmed;
        const OptionsChoice choice{c.iDriverSel, 1, 2, 3, 3, 80, c.bChanged, 0};
        SCOPED_TRACE("confirmed " + std::to_string(c.iConfirmed) + " sel " + std::to_string(c.iDriverSel));
        EXPECT_EQ(OptionsOk(choice), c.restart);
        EXPECT_EQ(g_Calls, c.calls);
        EXPECT_EQ(g_iAudioDriver, c.iDriverAfter);
        EXPECT_EQ(g_iConfirmedAudioDriver, c.iDriverAfter);
        // Channels, capture and render device, block size (thumb 80).
        EXPECT_EQ(std::make_tuple(g_iInputChannels.load(), g_iCaptureDevice, g_iRenderDevice, g_iRequestedBlockSize),
                  std::make_tuple(1, 2, 3, 1200));
    }
    EXPECT_GE(CountLogLines("g_iRequestedBlockSize =  1200"), 6);
}

// Windows audio's devices are kept by endpoint id; a chosen one no longer listed
// shows as the default.
TEST_F(Options, WindowsAudioKeepsTheChosenEndpoints)
{
    g_iWindowsMajorVersion = 10;
    g_iNumAudioDrivers = 3;
    AudioDriverEntry& e = g_AudioDriverList[2];
    e = AudioDriverEntry{};
    e.iType = AUDIO_DRIVER_WASAPI;
    e.iNumCaptureNames = e.iNumRenderNames = 3;
    const char* const aszIds[3] = {"", "{0.0.1}.{in-a}", "{0.0.1}.{in-b}"};
    for (int i = 0; i < 3; ++i)
    {
        std::snprintf(e.aszCaptureIds[i], kKsDeviceNameSize, "%s", aszIds[i]);
        std::snprintf(e.aszRenderIds[i], kKsDeviceNameSize, "out%d", i);
    }
    g_iCaptureDevice = g_iRenderDevice = 0;
    EXPECT_EQ(OptionsOk({2, 0, 2, 1, 1, 80, true, 0}), OptionsRestart::Now);
    EXPECT_EQ(g_Calls, (std::vector<std::string>{"asio-release", "wasapi-init", "wasapi-start"}));
    EXPECT_EQ(std::make_tuple(g_sCaptureEndpoint, g_sRenderEndpoint, g_iCaptureDevice, g_iRenderDevice),
              std::make_tuple(std::string("{0.0.1}.{in-b}"), std::string("out1"), 0, 0));
    EXPECT_EQ(std::make_pair(ShownDeviceSel(e, true), ShownDeviceSel(e, false)), std::make_pair(2, 1));
    g_sCaptureEndpoint = "{0.0.1}.{unplugged}";
    EXPECT_EQ(ShownDeviceSel(e, true), 0);
    g_sCaptureEndpoint.clear();
    g_sRenderEndpoint.clear();
}

// Another A4 rebuilds the engine's notes and bands: a restart even when nothing
// else changed; the same A4 again changes nothing.
TEST_F(Options, AnotherReferencePitchOrAStoppedStreamRestarts)
{
    EXPECT_EQ(OptionsOk({1, 0, 0, 0, 2, 80, false, 4420}), OptionsRestart::Now);
    EXPECT_EQ(g_Calls, (std::vector<std::string>{"asio-release", "asio-init", "asio-start"}));
    EXPECT_EQ(g_iReferenceTenths.load(), 4420);
    EXPECT_EQ(CountLogLines("OptionsOk() reference A4 = 442.0 Hz"), 1);
    EXPECT_EQ(OptionsOk({1, 0, 0, 0, 2, 80, false, 4420}), OptionsRestart::None);
    g_iReferenceTenths.store(kDefaultReferenceTenths);
    // A stream that stopped (its device lost, or no driver started) is tried
    // again by a plain OK, as the message that told of it says.
    g_bStreamStopped = true;
    g_Calls.clear();
    EXPECT_EQ(OptionsOk({1, 0, 0, 0, 2, 80, false, 0}), OptionsRestart::Now);
    EXPECT_EQ(g_Calls, (std::vector<std::string>{"asio-release", "asio-init", "asio-start"}));
    EXPECT_FALSE(g_bStreamStopped);
}

TEST_F(Options, CancelUndoesTheDriverChoiceAndNoneSelectedLeavesNoBadIndex)
{
    g_iAudioDriver = DriverOfSelection(0);
    EXPECT_EQ(g_iAudioDriver, AUDIO_DRIVER_KS);
    OptionsCancel();
    EXPECT_EQ(g_iAudioDriver, AUDIO_DRIVER_ASIO);
    EXPECT_EQ(DriverOfSelection(2), -1);
    EXPECT_EQ(DriverOfSelection(-1), -1);

    OptionsOk({-1, -1, -1, -1, -1, 0, false, 0});
    EXPECT_EQ(std::make_tuple(g_iAudioDriver, g_iCaptureDevice, g_iRenderDevice, g_iInputChannels.load(),
                              g_fRequestedSamplingFreq, g_iRequestedBlockSize),
              std::make_tuple(AUDIO_DRIVER_ASIO, 0, 0, 0, 48000.0f, 25));
}

} // namespace
