#include "audio/wasapi/WasapiHost.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/AudioGlobals.h"
#include "audio/EngineBlock.h"
#include "audio/StreamControl.h"
#include "audio/wasapi/WasapiEndpoints.h"
#include "audio/wasapi/WasapiStream.h"
#include "base/Log.h"
#include "dsp/Alloc.h"
#include "dsp/SampleBuffer.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"

namespace {

CDspEngine* g_pEngine = nullptr;
CSampleBuffer g_Input;                 // the first block's input
EngineBlock g_Blocks;                  // where each block goes
CWasapiStream g_Stream;
std::string g_sFailedStep;
HWND g_hNotify = nullptr;
UINT g_uNotify = 0;

// Each block goes through the engine as every back end's blocks do.
struct EngineSink : WasapiBlockSink
{
    void RunBlock(const WasapiFormat& in, void* pIn, const WasapiFormat& out, void* pOut) override
    {
        const int iRight = g_iInputChannels.load(std::memory_order_relaxed) != 0 ? 1 : 0;
        RunEngineBlock(g_Blocks, g_pEngine, WasapiChannel(in, pIn, 0), WasapiChannel(in, pIn, in.iChannels > 1 ? iRight : 0),
                       WasapiChannel(out, pOut, 0), WasapiChannel(out, pOut, 1));
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

namespace {

int FillList(bool bCapture, int* piCount, char (*aszNames)[kKsDeviceNameSize], char (*aszIds)[kKsDeviceNameSize])
{
    std::vector<WasapiEndpoint> list;
    const bool bListed = ListWasapiEndpoints(bCapture, &list);
    std::snprintf(aszNames[0], kKsDeviceNameSize, "%s", bCapture ? "Default input device" : "Default output device");
    aszIds[0][0] = '\0';
    int n = 1;
    // An id too long for the entry could not be chosen again: such a device is left out.
    for (const WasapiEndpoint& e : list)
        if (n < kMaxKsDeviceNames && e.sId.size() < static_cast<size_t>(kKsDeviceNameSize))
        {
            std::snprintf(aszNames[n], kKsDeviceNameSize, "%s", e.sName.c_str());
            std::snprintf(aszIds[n], kKsDeviceNameSize, "%s", e.sId.c_str());
            ++n;
        }
    *piCount = n;
    return bListed ? 1 : 0;
}

HRESULT OpenStream(std::string* pWhy)
{
    const int iRate = static_cast<int>(g_fRequestedSamplingFreq);
    HRESULT hr = g_Stream.Open(Wide(g_sCaptureEndpoint), Wide(g_sRenderEndpoint), iRate, g_iRequestedBlockSize, pWhy);
    // A chosen device that has gone (unplugged, say): the defaults rather than silence.
    if (FAILED(hr) && (!g_sCaptureEndpoint.empty() || !g_sRenderEndpoint.empty()) &&
        (*pWhy == "no input device" || *pWhy == "no output device"))
    {
        g_Log.Print(("CWasapi::Init() the chosen device is not there (" + *pWhy + "); trying the default devices").c_str());
        hr = g_Stream.Open(std::wstring(), std::wstring(), iRate, g_iRequestedBlockSize, pWhy);
    }
    return hr;
}

} // namespace

int WasapiHost::ListDevices(AudioDriverEntry* pEntry, bool)
{
    const int iCapture = FillList(true, &pEntry->iNumCaptureNames, pEntry->aszCaptureNames, pEntry->aszCaptureIds);
    const int iRender = FillList(false, &pEntry->iNumRenderNames, pEntry->aszRenderNames, pEntry->aszRenderIds);
    return iCapture && iRender;
}

int WasapiHost::Init()
{
    g_Log.Print("\nCWasapi::Init()");
    g_Stream.Close();
    std::string sWhy;
    const HRESULT hr = OpenStream(&sWhy);
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
    g_fPrevSamplingFreq = g_fSamplingFreq;
    g_iMaxSamplingFreq = g_Stream.Rate();
    g_Log.Print(("CWasapi::Init() " + std::string(g_Stream.Exclusive() ? "exclusive" : "shared") + " mode, input " +
                 Describe(g_Stream.CaptureFormat()) + ", output " + Describe(g_Stream.RenderFormat()))
                    .c_str());
    g_Log.Print("CWasapi::Init() g_fSamplingFreq =", g_fSamplingFreq);
    g_Log.Print("CWasapi::Init() g_iBlockSize =", g_iBlockSize);

    g_Input.Release("Input", "Input");
    const int iInput = g_Input.Init("Input", "Input", g_iBufMonoLen, g_iBlockSize);
    StartEngineBlocks(g_Blocks, &g_Input, g_iBlockSize);
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
