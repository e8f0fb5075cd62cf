#include "audio/wasapi/WasapiHost.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "audio/AudioGlobals.h"
#include "audio/wasapi/WasapiStream.h"
#include "base/Log.h"
#include "dsp/Alloc.h"
#include "dsp/SampleBuffer.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"

namespace {

CDspEngine* g_pEngine = nullptr;
CSampleBuffer g_Input;                 // the first block's input
CSampleBuffer* g_pCurrent = nullptr;   // then whatever Process returned last
int g_iOffset = 0;
CWasapiStream g_Stream;
std::string g_sFailedStep;
HWND g_hNotify = nullptr;
UINT g_uNotify = 0;

// Each block goes through the engine as the ASIO host's blocks do.
struct EngineSink : WasapiBlockSink
{
    void RunBlock(const float* pLeft, const float* pRight, const float** ppOutLeft, const float** ppOutRight) override
    {
        const int B = g_iBlockSize;
        const int E = g_iOffset;
        std::memcpy(g_pCurrent->Channel(0) + E, pLeft, sizeof(float) * static_cast<size_t>(B));
        std::memcpy(g_pCurrent->Channel(1) + E, pRight, sizeof(float) * static_cast<size_t>(B));
        if (g_pEngine)
            g_pCurrent = g_pEngine->Process(g_pCurrent, E);
        *ppOutLeft = g_pCurrent->Channel(0) + E;
        *ppOutRight = g_pCurrent->Channel(1) + E;
        g_iOffset = E + B >= g_iBufMonoLen ? 0 : E + B;
    }
} g_Sink;

std::wstring Wide(const std::string& s)
{
    std::wstring w;
    if (s.empty())
        return w;
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    if (n > 1)
    {
        w.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
        w.resize(static_cast<size_t>(n - 1));
    }
    return w;
}

std::string Describe(const WasapiFormat& f)
{
    char sz[64];
    std::snprintf(sz, sizeof(sz), "%d ch %d-bit%s%s", f.iChannels, f.iValidBits, f.bFloat ? " float" : "",
                  f.iValidBits != f.iContainerBits ? " in 32" : "");
    return sz;
}

} // namespace

void WasapiHost::Attach(CDspEngine* pEngine)
{
    g_pEngine = pEngine;
}

int WasapiHost::Init()
{
    g_Log.Print("\nCWasapi::Init()");
    g_Stream.Close();
    std::string sWhy;
    const HRESULT hr = g_Stream.Open(Wide(g_sCaptureEndpoint), Wide(g_sRenderEndpoint),
                                     static_cast<int>(g_fRequestedSamplingFreq), g_iRequestedBlockSize, &sWhy);
    if (FAILED(hr))
    {
        char szHr[16];
        std::snprintf(szHr, sizeof(szHr), "0x%08lx", static_cast<unsigned long>(hr));
        g_Log.Print(("CWasapi::Init() FAILED: " + sWhy + ", hr = " + szHr).c_str());
        g_sFailedStep = sWhy;
        g_Stream.Close();
        return 0;
    }
    g_fSamplingFreq = static_cast<float>(g_Stream.Rate());
    g_iBlockSize = g_Stream.Block();
    g_iBytesPerBlock = g_iBlockSize;
    g_iBufMonoLen = 2 * g_iBlockSize;
    LfoBufLen = static_cast<int>(2.0f * g_fSamplingFreq);
    g_iOffset = 0;
    g_fPrevSamplingFreq = g_fSamplingFreq;
    g_iMaxSamplingFreq = g_Stream.Rate();
    g_Log.Print(("CWasapi::Init() " + std::string(g_Stream.Exclusive() ? "exclusive" : "shared") + " mode, input " +
                 Describe(g_Stream.CaptureFormat()) + ", output " + Describe(g_Stream.RenderFormat()))
                    .c_str());
    g_Log.Print("CWasapi::Init() g_fSamplingFreq =", g_fSamplingFreq);
    g_Log.Print("CWasapi::Init() g_iBlockSize =", g_iBlockSize);

    g_Input.Release("Input", "Input");
    const int iInput = g_Input.Init("Input", "Input", g_iBufMonoLen, g_iBlockSize);
    g_pCurrent = &g_Input;
    if (g_pEngine)
        g_pEngine->Release();
    if (!iInput || !g_pEngine || !g_pEngine->InitDSP())
    {
        g_Log.Print("CWasapi::Init() InitDSP() FAILED");
        g_sFailedStep = "preparing the tuner (out of memory)";
        g_Stream.Close();
        return 0;
    }
    g_Stream.NotifyOnLoss(g_hNotify, g_uNotify);
    // What a restart after a lost device must give back: the same counts each time.
    DWORD dwHandles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &dwHandles);
    g_Log.Print(("CWasapi::Init() handles " + std::to_string(dwHandles) + ", memory blocks " +
                 std::to_string(g_dwMemBlockCount.load(std::memory_order_relaxed)) + ", bytes " +
                 std::to_string(g_dwMemCount.load(std::memory_order_relaxed)))
                    .c_str());
    return 1;
}

int WasapiHost::Start()
{
    std::string sWhy;
    const HRESULT hr = g_Stream.Start(&g_Sink, &sWhy);
    if (FAILED(hr))
    {
        g_Log.Print(("CWasapi::Start() FAILED: " + sWhy).c_str());
        g_sFailedStep = sWhy;
        return 0;
    }
    return 1;
}

void WasapiHost::Stop()
{
    if (!g_Stream.Stop())
        g_Log.Print("CWasapi::Stop() the stream's thread did not end");
}

void WasapiHost::Release()
{
    if (g_Stream.Blocks() > 0)
        g_Log.Print(("CWasapi::Release() blocks " + std::to_string(g_Stream.Blocks()) + ", dropped " +
                     std::to_string(g_Stream.Dropped()) + ", repeated " + std::to_string(g_Stream.Repeated()))
                        .c_str());
    g_Stream.Close();
}

const char* WasapiHost::FailedStep()
{
    return g_sFailedStep.c_str();
}

bool WasapiHost::Exclusive()
{
    return g_Stream.Exclusive();
}

long long WasapiHost::Dropped()
{
    return g_Stream.Dropped();
}

long long WasapiHost::Repeated()
{
    return g_Stream.Repeated();
}

long long WasapiHost::Blocks()
{
    return g_Stream.Blocks();
}

void WasapiHost::NotifyOnLoss(HWND hWindow, UINT uMessage)
{
    g_hNotify = hWindow;
    g_uNotify = uMessage;
}
