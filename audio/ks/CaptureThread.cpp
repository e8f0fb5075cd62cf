#include "audio/ks/CaptureThread.h"

#include <cstdio>
#include <cstring>

#include "audio/AudioGlobals.h"
#include "audio/EngineBlock.h"
#include "audio/SampleConversion.h"
#include "audio/StreamControl.h"
#include "audio/ks/KsPlatform.h"
#include "audio/ks/audfilter.h"
#include "audio/ks/enum.h"
#include "base/Log.h"
#include "dsp/Alloc.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "render/RedrawRequest.h"

int g_iRingBytes = 0;
AudioErrorReportFn g_pfnReportAudioError = DefaultAudioErrorReport;

void DefaultAudioErrorReport(HWND hOwner, int /*iErrorKind*/, const char* szText)
{
    MessageBoxA(hOwner, szText, "Audio sampling failed", MB_OK);
}

namespace {

constexpr int kPackets = 4;  // per direction
constexpr int kHandles = 12;

struct KsPacket
{
    KSSTREAM_HEADER header;
    OVERLAPPED ov;
};

// Everything one run of the thread owns; released whichever way the run ends.
struct KsStream
{
    CKsEnumFilters* pCaptureEnum = nullptr;
    CKsEnumFilters* pRenderEnum = nullptr;
    CKsCaptureFilter* pCaptureFilter = nullptr;
    CKsRenderFilter* pRenderFilter = nullptr;
    CKsAudPin* pCapturePin = nullptr;  // owned by its filter
    CKsAudPin* pRenderPin = nullptr;   // handed out to the thread
    BYTE* pCaptureRing = nullptr;
    BYTE* pRenderRing = nullptr;
    HANDLE ahWait[kHandles] = {};
    KsPacket aPackets[2 * kPackets];
    CSampleBuffer input;
    HRESULT hrLast = S_OK;

    void Release()
    {
        IKsPlatform& os = KsPlatform();
        for (int i = 0; i < 2 * kPackets; ++i)
            if (ahWait[i])
                os.CloseHandle(ahWait[i]);
        delete pRenderPin;  // closes it first
        delete pCaptureEnum;  // with the filters and the pins they still own
        delete pRenderEnum;
        KsFree(pCaptureRing);
        KsFree(pRenderRing);
        input.Release("Input", "Input");
    }
};

WAVEFORMATEX StreamFormat(int iFreq)
{
    WAVEFORMATEX wfx;
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 2;
    wfx.nSamplesPerSec = static_cast<DWORD>(iFreq);
    wfx.nAvgBytesPerSec = 4 * static_cast<DWORD>(iFreq);
    wfx.nBlockAlign = 4;
    wfx.wBitsPerSample = 16;
    wfx.cbSize = 18;
    return wfx;
}

template <class T>
T* FilterAt(CKsEnumFilters* pEnum, int iIndex)
{
    auto* e = pEnum->m_listFilters.m_pHead;
    for (int i = 0; i < iIndex && e->pNext; ++i)
        e = e->pNext;
    return static_cast<T*>(e->pItem);
}

CKsEnumFilters* NewEnum(const char* szAllocFailure)
{
    HRESULT hr = S_OK;
    CKsEnumFilters* p = KsNew<CKsEnumFilters>(&hr);
    if (!p)
        throw szAllocFailure;
    if (FAILED(hr))
    {
        delete p;
        throw "Failed to create capture CKsEnumFilters";
    }
    return p;
}

void Enumerate(KsStream& s)
{
    FindKsFilters(s.pCaptureEnum, s.pRenderEnum, s.hrLast);
    if (s.pCaptureEnum->m_listFilters.Empty())
        throw "No filters available for capturing";
    s.pCaptureFilter = FilterAt<CKsCaptureFilter>(s.pCaptureEnum, g_iCaptureDevice);
    if (s.pRenderEnum->m_listFilters.Empty())
        throw "No filters available for rendering";
    s.pRenderFilter = FilterAt<CKsRenderFilter>(s.pRenderEnum, g_iRenderDevice);
}

void NegotiateFormat(KsStream& s, WAVEFORMATEX* pwfx)
{
    int iFreq = static_cast<int>(g_fRequestedSamplingFreq);
    *pwfx = StreamFormat(iFreq);
    g_Log.Print("\nCapture : trying requested sampling Frequency =", iFreq);
    g_Log.Print(" ");
    s.pCapturePin = s.pCaptureFilter->CreateCapturePin(pwfx, FALSE);
    if (s.pCapturePin)
    {
        g_Log.Print("Created capture pin, sampling frequency =", iFreq);
        g_Log.Print(" ");
        g_fSamplingFreq = g_fRequestedSamplingFreq;
    }
    else
    {
        InitSamplingFreqTables();
        for (int i = 1; i < g_aiNumSamplingFreqs[0] && !s.pCapturePin; ++i)
        {
            iFreq = g_aiSamplingFreqs[0][i];
            pwfx->nSamplesPerSec = static_cast<DWORD>(iFreq);
            pwfx->nAvgBytesPerSec = pwfx->nBlockAlign * static_cast<DWORD>(iFreq);
            g_Log.Print("Capture : trying this sampling Frequency =", iFreq);
            s.pCapturePin = s.pCaptureFilter->CreateCapturePin(pwfx, FALSE);
            if (s.pCapturePin)
            {
                g_Log.Print("Sampling Frequency =", iFreq);
                g_fSamplingFreq = static_cast<float>(iFreq);
            }
        }
    }
    if (!s.pCapturePin)
    {
        g_iAudioErrorKind = 1;
        throw "No audio pins available for recording";
    }
    g_iMaxSamplingFreq = g_iRangeMaxSamplingFreq;
    g_fPrevSamplingFreq = g_fSamplingFreq;

    s.pRenderPin = s.pRenderFilter->CreateRenderPin(pwfx, FALSE);
    if (!s.pRenderPin)
    {
        g_iAudioErrorKind = 2;
        throw "No audio pins available for rendering";
    }
    g_Log.Print("Created render pin, sampling Frequency =", static_cast<int>(g_fSamplingFreq));
}

void AllocateStream(KsStream& s, const HANDLE* phCommands)
{
    const int fs = static_cast<int>(g_fSamplingFreq);
    g_iBlockSize = g_iRequestedBlockSize;
    g_iBytesPerBlock = 4 * g_iBlockSize;
    g_iRingBytes = (fs / g_iBytesPerBlock) * g_iBytesPerBlock;
    g_iBufWordLen = g_iRingBytes / 2;
    g_iBufMonoLen = 2 * g_iBlockSize;
    LfoBufLen = 2 * fs;
    // A rate too low for one block would leave an empty ring to stream from.
    if (g_iRingBytes <= 0)
        throw "Out of memory";

    s.pCaptureRing = static_cast<BYTE*>(KsAlloc(static_cast<size_t>(g_iRingBytes)));
    s.pRenderRing = s.pCaptureRing ? static_cast<BYTE*>(KsAlloc(static_cast<size_t>(g_iRingBytes))) : nullptr;
    if (!s.pRenderRing)
        throw "Out of memory";
    std::memset(s.pCaptureRing, 0, static_cast<size_t>(g_iRingBytes));
    std::memset(s.pRenderRing, 0, static_cast<size_t>(g_iRingBytes));

    char szLine[80];
    std::snprintf(szLine, sizeof(szLine), "\ncbPartialBuffer = %d , cPackets = %d", g_iBytesPerBlock, 2 * kPackets);
    g_Log.Print(szLine);

    IKsPlatform& os = KsPlatform();
    for (int i = 0; i < 2 * kPackets; ++i)
    {
        s.ahWait[i] = os.CreateEventA(i >= kPackets, FALSE);
        if (!s.ahWait[i])
            throw "Out of memory";
    }
    for (int i = 0; i < 4; ++i)
        s.ahWait[2 * kPackets + i] = phCommands[i];
}

// Fills packet k's record for the ring slot and hands it to the pin.
HRESULT Submit(KsStream& s, int k, BYTE* pSlot, bool bWrite)
{
    KsPacket& p = s.aPackets[k];
    std::memset(&p, 0, sizeof(p));
    p.header.Size = sizeof(KSSTREAM_HEADER);
    p.header.PresentationTime.Numerator = 1;
    p.header.PresentationTime.Denominator = 1;
    p.header.FrameExtent = static_cast<ULONG>(g_iBytesPerBlock);
    p.header.DataUsed = bWrite ? static_cast<ULONG>(g_iBytesPerBlock) : 0;
    p.header.Data = pSlot;
    p.ov.hEvent = s.ahWait[k];
    return bWrite ? s.pRenderPin->WriteData(&p.header, &p.ov) : s.pCapturePin->ReadData(&p.header, &p.ov);
}

// One block from the capture ring through the engine into the render ring: 16-bit
// stereo frames at byte R of both.
void ProcessBlock(KsStream& s, EngineBlock& blocks, int R)
{
    const int iRight = g_iInputChannels.load(std::memory_order_relaxed) == 0 ? 0 : 2;
    auto channel = [R](BYTE* pRing, int iByte) { return DriverChannel{ASIOSTInt16LSB, pRing + R + iByte, 4}; };
    RunEngineBlock(blocks, g_pDspEngine, channel(s.pCaptureRing, 0), channel(s.pCaptureRing, iRight),
                   channel(s.pRenderRing, 0), channel(s.pRenderRing, 2));
}

void SetBothStates(KsStream& s, KSSTATE state)
{
    s.hrLast = s.pCapturePin->SetPinState(state);
    s.hrLast = s.pRenderPin->SetPinState(state);
}

void RunLoop(KsStream& s)
{
    IKsPlatform& os = KsPlatform();
    KSSTATE state = KSSTATE_STOP;
    int iCapture = 0;
    int R = 0;
    int iReads = 0;
    bool bExit = false;
    EngineBlock blocks;
    StartEngineBlocks(blocks, &s.input, g_iBlockSize);
    const auto prime = [&] {
        for (int i = 0; i < 2 * kPackets; ++i)
            os.SetEvent(s.ahWait[i]);
    };
    while (!bExit)
    {
        const DWORD dw = os.WaitForMultipleObjects(kHandles, s.ahWait, FALSE, INFINITE);
        if (dw == WAIT_FAILED)
        {
            g_Log.Print("CaptureThreadProc() WaitForMultipleObjects WAIT_FAILED");
            break;
        }
        const DWORD idx = dw - WAIT_OBJECT_0;
        if (idx < static_cast<DWORD>(kPackets))
        {
            if (state == KSSTATE_STOP)
                continue;
            s.hrLast = Submit(s, static_cast<int>(idx), s.pCaptureRing + iCapture, false);
            iCapture += g_iBytesPerBlock;
            if (iCapture >= g_iRingBytes)
                iCapture = 0;
            ++iReads;
        }
        else if (idx < static_cast<DWORD>(2 * kPackets))
        {
            // A render event not served now must not stay signalled, or the
            // wait would return at once forever and never see a command.
            if (iReads < kPackets || state == KSSTATE_STOP)
            {
                os.ResetEvent(s.ahWait[idx]);
                continue;
            }
            ProcessBlock(s, blocks, R);
            s.hrLast = Submit(s, static_cast<int>(idx), s.pRenderRing + R, true);
            // A write refused at once never completes: its event, still set, would
            // otherwise win every wait from now on.
            if (FAILED(s.hrLast))
                os.ResetEvent(s.ahWait[idx]);
            R += g_iBytesPerBlock;
            if (R >= g_iRingBytes)
                R = 0;
        }
        else if (idx == 2 * kPackets + eAbort)
        {
            SetBothStates(s, KSSTATE_STOP);
            g_Log.Print("CaptureThreadProc() eAbort");
            state = KSSTATE_STOP;
            bExit = true;
        }
        else if (idx == 2 * kPackets + eStop)
        {
            state = KSSTATE_STOP;
            SetBothStates(s, KSSTATE_STOP);
            g_Log.Print("CaptureThreadProc() eStop");
        }
        else if (idx == 2 * kPackets + ePause)
        {
            if (state == KSSTATE_STOP)
                prime();
            state = KSSTATE_PAUSE;
            g_Log.Print("CaptureThreadProc() ePause");
            SetBothStates(s, KSSTATE_PAUSE);
        }
        else if (idx == 2 * kPackets + eRun)
        {
            if (state == KSSTATE_STOP)
                prime();
            if (state == KSSTATE_RUN)
                continue;
            state = KSSTATE_RUN;
            g_Log.Print("CaptureThreadProc() eRun");
            SetBothStates(s, KSSTATE_RUN);
        }
        else
        {
            g_Log.Print("CaptureThreadProc() Something is wrong!!!");
        }
    }
}

}  // namespace

void FindKsFilters(CKsEnumFilters*& pCapture, CKsEnumFilters*& pRender, HRESULT& hrLast)
{
    g_iNumCaptureDeviceNames = 0;
    g_iNumRenderDeviceNames = 0;
    pCapture = NewEnum("Failed to allocate capture CKsEnumFilters");
    pRender = NewEnum("Failed to allocate Render CKsEnumFilters");
    static char szNoCapture[300];
    static char szNoRender[300];
    std::snprintf(szNoCapture, sizeof(szNoCapture),
                  "WDM KS couldn't find a compatible recording filter.\nPlease download and install the Asio4All universal "
                  "driver\nfrom here: %s",
                  kAsioDownloadAddress);
    std::snprintf(szNoRender, sizeof(szNoRender),
                  "WDM KS couldn't find a compatible playback filter.\nPlease download and install the Asio4All universal "
                  "driver\nfrom here: %s",
                  kAsioDownloadAddress);
    const GUID aCapture[2] = {kKsCategoryAudio, kKsCategoryCapture};
    const GUID aRender[2] = {kKsCategoryAudio, kKsCategoryRender};
    hrLast = pCapture->FindFilters(eAudCap, aCapture, 2, TRUE, TRUE, TRUE);
    if (FAILED(hrLast))
        throw static_cast<const char*>(szNoCapture);
    hrLast = pRender->FindFilters(eAudRen, aRender, 2, TRUE, FALSE, TRUE);
    if (FAILED(hrLast))
        throw static_cast<const char*>(szNoRender);
}

void ReportKsFailure(const char* szFailure, HRESULT hrLast)
{
    char szLine[600];
    std::snprintf(szLine, sizeof(szLine), "CaptureThreadProc() FAILED %s.  hr = 0x%08x\n\n", szFailure,
                  static_cast<unsigned>(hrLast));
    g_Log.Print(szLine);
    g_pfnReportAudioError(g_hWnd, g_iAudioErrorKind, szFailure);
    SendMessageA(g_hWnd, CM_EXIT_THREAD, 0, static_cast<LPARAM>(E_FAIL));
}

DWORD WINAPI CaptureThreadProc(LPVOID pParam)
{
    const HANDLE* phCommands = static_cast<const HANDLE*>(pParam);
    KsStream s;
    try
    {
        Enumerate(s);
        WAVEFORMATEX wfx;
        NegotiateFormat(s, &wfx);
        AllocateStream(s, phCommands);
    }
    catch (const char* szFailure)
    {
        s.Release();
        ReportKsFailure(szFailure, s.hrLast);
        return 1;
    }

    g_pDspEngine->Release();
    if (!g_pDspEngine->InitDSP())
    {
        g_Log.Print("CaptureThreadProc() InitDSP() FAILED");
        s.Release();
        SendMessageA(g_hWnd, CM_EXIT_THREAD, 0, static_cast<LPARAM>(E_OUTOFMEMORY));
        return static_cast<DWORD>(E_OUTOFMEMORY);
    }
    RequestFullRedraw();
    s.input.Init("Input", "Input", g_iBufMonoLen, g_iBlockSize);
    g_Log.Print("\ng_dwMemCount      =", g_dwMemCount.load(std::memory_order_relaxed));
    g_Log.Print("g_dwMemBlockCount =", g_dwMemBlockCount.load(std::memory_order_relaxed));
    g_Log.Print("");
    g_Log.LogMemory();

    RunLoop(s);

    s.pCapturePin->SetPinState(KSSTATE_PAUSE);
    s.pCapturePin->SetPinState(KSSTATE_STOP);
    s.pRenderPin->SetPinState(KSSTATE_PAUSE);
    s.pRenderPin->SetPinState(KSSTATE_STOP);
    s.pCapturePin->Close();
    s.pRenderPin->Close();
    s.Release();
    g_Log.Print("CaptureThreadProc() exiting thread");
    SendMessageA(g_hWnd, CM_EXIT_THREAD, 0, static_cast<LPARAM>(E_ABORT));
    return 0;
}
