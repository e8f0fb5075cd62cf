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

#include "audio/wasapi/WasapiStream.h"

namespace {

struct PassThrough : WasapiBlockSink
{
    int iBlock = 0;
    float fPeak = 0.0f;
    void RunBlock(const float* pLeft, const float* pRight, const float** ppOutLeft, const float** ppOutRight) override
    {
        for (int i = 0; i < iBlock; ++i)
            fPeak = std::max(fPeak, std::fabs(pLeft[i]));
        *ppOutLeft = pLeft;
        *ppOutRight = pRight;
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
    sink.iBlock = stream.Block();
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
}

} // namespace
