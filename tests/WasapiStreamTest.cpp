// Windows audio against a real sound server: the test's script starts a
// PulseAudio server whose default input is the monitor of a sink the bundled
// recording plays into. The stream passes its input through for a few seconds.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "audio/AudioGlobals.h"
#include "audio/wasapi/WasapiHost.h"
#include "audio/wasapi/WasapiStream.h"
#include "dsp/SampleBuffer.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "tests/TestSupport.h"

namespace {

// The shared block run without an engine: input straight to output.
struct PassThrough : WasapiBlockSink
{
    CSampleBuffer input;
    EngineBlock blocks;
    float fPeak = 0.0f;
    void Begin(int iBlock)
    {
        input.Init("test", "input", 2 * iBlock, iBlock);
        StartEngineBlocks(blocks, &input, iBlock);
    }
    void RunBlock(const WasapiFormat& in, void* pIn, const WasapiFormat& out, void* pOut) override
    {
        RunEngineBlock(blocks, nullptr, WasapiChannel(in, pIn, 0), WasapiChannel(in, pIn, 1), WasapiChannel(out, pOut, 0),
                       WasapiChannel(out, pOut, 1));
        for (int i = 0; i < 2 * blocks.iBlock; ++i)
            fPeak = std::max(fPeak, std::fabs(input.Channel(0)[i]));
    }
};

TEST(WasapiStream, PassesTheServersInputThrough)
{
    CWasapiStream stream;
    std::string sWhy;
    const HRESULT hrOpen = stream.Open(L"", L"", 48000, 480, &sWhy);
    ASSERT_EQ(S_OK, hrOpen) << sWhy << " hr=0x" << std::hex << hrOpen;
    std::printf("mode %s, rate %d, block %d, capture %d ch %d/%d bits%s, render %d ch %d/%d bits%s\n",
                stream.Exclusive() ? "exclusive" : "shared", stream.Rate(), stream.Block(),
                stream.CaptureFormat().iChannels, stream.CaptureFormat().iValidBits,
                stream.CaptureFormat().iContainerBits, stream.CaptureFormat().bFloat ? " float" : "",
                stream.RenderFormat().iChannels, stream.RenderFormat().iValidBits, stream.RenderFormat().iContainerBits,
                stream.RenderFormat().bFloat ? " float" : "");
    PassThrough sink;
    sink.Begin(stream.Block());
    ASSERT_EQ(S_OK, stream.Start(&sink, &sWhy)) << sWhy;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(getenv("TQ_SECONDS") ? atoi(getenv("TQ_SECONDS")) : 3);
    while (std::chrono::steady_clock::now() < deadline && !stream.Lost())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(stream.Stop());
    std::printf("blocks %lld, dropped %lld, repeated %lld, peak %.0f\n", stream.Blocks(), stream.Dropped(),
                stream.Repeated(), static_cast<double>(sink.fPeak));
    EXPECT_FALSE(stream.Lost());
    EXPECT_GT(stream.Blocks(), 100);
    EXPECT_GT(sink.fPeak, 100.0f);
    sink.input.Release("test", "input");
}

// The program's way: the host builds the engine for the stream, and the tuner
// reads the recording's string, the low E 30 cents flat (80.8 Hz).
TEST(WasapiHost, TheTunerReadsTheServersInput)
{
    CDspEngine engine;
    g_fRequestedSamplingFreq = 48000.0f;
    g_iRequestedBlockSize = 1200;
    g_iInputChannels = 0;
    WasapiHost::Attach(&engine);
    ASSERT_EQ(1, WasapiHost::Init()) << WasapiHost::FailedStep();
    EXPECT_EQ(1200, g_iBlockSize);
    EXPECT_EQ(48000.0f, g_fSamplingFreq);
    ASSERT_EQ(1, WasapiHost::Start()) << WasapiHost::FailedStep();
    float fRead = 0.0f;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && std::fabs(fRead - 80.8f) > 0.8f)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        fRead = engine.m_Tuner2.m_fMeasuredFreq.load();
    }
    WasapiHost::Stop();
    const long long llBlocks = WasapiHost::Blocks();
    WasapiHost::Release();
    WasapiHost::Attach(nullptr);
    engine.Release();
    EXPECT_NEAR(80.8f, fRead, 0.8f);
    EXPECT_GT(llBlocks, 0);
    EXPECT_EQ(1, CountLogLines("CWasapi::Init() shared mode, input 2 ch 32-bit float, output 2 ch 32-bit float") +
                     CountLogLines("CWasapi::Init() exclusive mode, input 2 ch 16-bit, output 2 ch 16-bit"));
}

} // namespace
