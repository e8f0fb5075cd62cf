#include "audio/wasapi/WasapiStream.h"

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <algorithm>
#include <cstring>

#include "audio/AudioGlobals.h"

namespace {

// Not in every SDK's headers: the shared-mode stream converts to and from the
// format it asks for (Windows 7 and later).
constexpr DWORD kAutoConvertPcm = 0x80000000;
constexpr DWORD kSrcDefaultQuality = 0x08000000;

// 200 ms, in the 100-ns units of REFERENCE_TIME.
constexpr REFERENCE_TIME kSharedCaptureBuffer = 2000000;

const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

template <typename T>
void Release(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

WasapiFormat FormatOf(const WAVEFORMATEX& w)
{
    WasapiFormat f;
    f.iChannels = w.nChannels;
    f.iRate = static_cast<int>(w.nSamplesPerSec);
    f.iContainerBits = w.wBitsPerSample;
    f.iValidBits = w.wBitsPerSample;
    f.bFloat = w.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    if (w.wFormatTag == WAVE_FORMAT_EXTENSIBLE && w.cbSize >= 22)
    {
        const auto& x = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(w);
        f.iValidBits = x.Samples.wValidBitsPerSample ? x.Samples.wValidBitsPerSample : w.wBitsPerSample;
        f.bFloat = IsEqualGUID(x.SubFormat, kSubtypeFloat) != 0;
        if (!f.bFloat && !IsEqualGUID(x.SubFormat, kSubtypePcm))
            f.iChannels = 0;  // neither: not streamed
    }
    else if (w.wFormatTag != WAVE_FORMAT_PCM && w.wFormatTag != WAVE_FORMAT_IEEE_FLOAT)
    {
        f.iChannels = 0;
    }
    return f;
}

WAVEFORMATEXTENSIBLE Extensible(const WasapiFormat& f)
{
    WAVEFORMATEXTENSIBLE x = {};
    x.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    x.Format.nChannels = static_cast<WORD>(f.iChannels);
    x.Format.nSamplesPerSec = static_cast<DWORD>(f.iRate);
    x.Format.wBitsPerSample = static_cast<WORD>(f.iContainerBits);
    x.Format.nBlockAlign = static_cast<WORD>(f.iChannels * f.iContainerBits / 8);
    x.Format.nAvgBytesPerSec = x.Format.nSamplesPerSec * x.Format.nBlockAlign;
    x.Format.cbSize = 22;
    x.Samples.wValidBitsPerSample = static_cast<WORD>(f.iValidBits);
    x.dwChannelMask = f.iChannels == 1 ? SPEAKER_FRONT_CENTER : SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    x.SubFormat = f.bFloat ? kSubtypeFloat : kSubtypePcm;
    return x;
}

WasapiFormat Pcm(int iChannels, int iRate, int iContainer, int iValid, bool bFloat)
{
    WasapiFormat f;
    f.iChannels = iChannels;
    f.iRate = iRate;
    f.iContainerBits = iContainer;
    f.iValidBits = iValid;
    f.bFloat = bFloat;
    return f;
}

REFERENCE_TIME Duration(int iFrames, int iRate)
{
    return static_cast<REFERENCE_TIME>(10000000.0 * iFrames / iRate + 0.5);
}

HRESULT Fail(HRESULT hr, const char* szStep, std::string* pWhy)
{
    if (pWhy)
        *pWhy = szStep;
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT OpenEndpoint(IMMDeviceEnumerator* pEnum, const std::wstring& sId, EDataFlow eFlow, IMMDevice** ppDevice)
{
    return sId.empty() ? pEnum->GetDefaultAudioEndpoint(eFlow, eConsole, ppDevice)
                       : pEnum->GetDevice(sId.c_str(), ppDevice);
}

HRESULT Activate(IMMDevice* pDevice, IAudioClient** ppClient)
{
    return pDevice->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(ppClient));
}

// The first format of the list the client takes in exclusive mode.
bool ExclusiveFormat(IAudioClient* pClient, int iRate, bool bCapture, WasapiFormat* pFormat)
{
    const WasapiFormat kCandidates[] = {
        Pcm(2, iRate, 32, 24, false), Pcm(2, iRate, 24, 24, false), Pcm(2, iRate, 16, 16, false),
        Pcm(2, iRate, 32, 32, true),  Pcm(1, iRate, 32, 24, false), Pcm(1, iRate, 24, 24, false),
        Pcm(1, iRate, 16, 16, false),
    };
    for (const WasapiFormat& f : kCandidates)
    {
        if (!bCapture && f.iChannels == 1)
            continue;
        WAVEFORMATEXTENSIBLE x = Extensible(f);
        if (pClient->IsFormatSupported(AUDCLNT_SHAREMODE_EXCLUSIVE, &x.Format, nullptr) == S_OK)
        {
            *pFormat = f;
            return true;
        }
    }
    return false;
}

} // namespace

HRESULT CWasapiStream::Open(const std::wstring& sCaptureId, const std::wstring& sRenderId, int iRate, int iBlock,
                            std::string* pWhy)
{
    Close();
    // Another apartment on this thread is fine: the endpoint objects are free-threaded.
    const HRESULT hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    m_bComInit = SUCCEEDED(hrCom);
    IMMDeviceEnumerator* pEnum = nullptr;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  reinterpret_cast<void**>(&pEnum));
    if (FAILED(hr))
        return Fail(hr, "no Windows audio (CoCreateInstance MMDeviceEnumerator)", pWhy);
    hr = OpenEndpoint(pEnum, sCaptureId, eCapture, &m_pCaptureDevice);
    if (SUCCEEDED(hr))
        hr = OpenEndpoint(pEnum, sRenderId, eRender, &m_pRenderDevice);
    Release(pEnum);
    if (FAILED(hr))
        return Fail(hr, m_pCaptureDevice ? "no output device" : "no input device", pWhy);

    hr = OpenExclusive(iRate, iBlock);
    if (FAILED(hr))
        hr = OpenShared(iBlock, pWhy);
    if (FAILED(hr))
        return hr;
    hr = m_pCaptureClient->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&m_pCapture));
    if (SUCCEEDED(hr))
        hr = m_pRenderClient->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&m_pRender));
    if (SUCCEEDED(hr))
        hr = m_pRenderClient->GetBufferSize(&m_uRenderFrames);
    if (FAILED(hr))
        return Fail(hr, "the stream's services", pWhy);
    m_hCaptureEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_hRenderEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_hCaptureEvent || !m_hRenderEvent || !m_hStopEvent)
        return Fail(E_OUTOFMEMORY, "CreateEvent", pWhy);
    hr = m_pCaptureClient->SetEventHandle(m_hCaptureEvent);
    if (SUCCEEDED(hr))
        hr = m_pRenderClient->SetEventHandle(m_hRenderEvent);
    if (FAILED(hr))
        return Fail(hr, "SetEventHandle", pWhy);

    m_abGathered.assign(static_cast<size_t>(m_iBlock) * static_cast<size_t>(WasapiFrameBytes(m_Capture)), 0);
    // Channels beyond the first two stay silent: the block's output is written
    // into zeros, and only its first two channels are.
    m_abOutput.assign(static_cast<size_t>(m_iBlock) * static_cast<size_t>(WasapiFrameBytes(m_Render)), 0);
    // Room for the render buffer and two blocks of the clocks' drift and jitter:
    // what waits beyond that is heard late, so it is dropped instead.
    m_iQueueBlocks = static_cast<int>(m_uRenderFrames / static_cast<UINT32>(m_iBlock)) + 2;
    m_Queue.Reset(m_iBlock, WasapiFrameBytes(m_Render), m_iQueueBlocks);
    return S_OK;
}

HRESULT CWasapiStream::OpenExclusive(int iRate, int iBlock)
{
    HRESULT hr = Activate(m_pCaptureDevice, &m_pCaptureClient);
    if (SUCCEEDED(hr))
        hr = Activate(m_pRenderDevice, &m_pRenderClient);
    if (FAILED(hr))
        return hr;
    WasapiFormat capture, render;
    if (!ExclusiveFormat(m_pCaptureClient, iRate, true, &capture) || !ExclusiveFormat(m_pRenderClient, iRate, false, &render))
    {
        Release(m_pCaptureClient);
        Release(m_pRenderClient);
        return AUDCLNT_E_UNSUPPORTED_FORMAT;
    }
    WAVEFORMATEXTENSIBLE xc = Extensible(capture), xr = Extensible(render);
    const REFERENCE_TIME period = Duration(iBlock, iRate);
    const DWORD kFlags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
    hr = m_pCaptureClient->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, kFlags, period, period, &xc.Format, nullptr);
    if (SUCCEEDED(hr))
        hr = m_pRenderClient->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, kFlags, period, period, &xr.Format, nullptr);
    if (FAILED(hr))
    {
        // Shared mode is tried next, on fresh clients.
        Release(m_pCaptureClient);
        Release(m_pRenderClient);
        return hr;
    }
    m_bExclusive = true;
    m_Capture = capture;
    m_Render = render;
    m_iBlock = iBlock;
    return S_OK;
}

HRESULT CWasapiStream::OpenShared(int iBlock, std::string* pWhy)
{
    HRESULT hr = Activate(m_pCaptureDevice, &m_pCaptureClient);
    if (SUCCEEDED(hr))
        hr = Activate(m_pRenderDevice, &m_pRenderClient);
    if (FAILED(hr))
        return Fail(hr, "IMMDevice::Activate", pWhy);
    WAVEFORMATEX* pCaptureMix = nullptr;
    WAVEFORMATEX* pRenderMix = nullptr;
    hr = m_pCaptureClient->GetMixFormat(&pCaptureMix);
    if (SUCCEEDED(hr))
        hr = m_pRenderClient->GetMixFormat(&pRenderMix);
    if (FAILED(hr))
    {
        CoTaskMemFree(pCaptureMix);
        return Fail(hr, "GetMixFormat", pWhy);
    }
    m_Capture = FormatOf(*pCaptureMix);
    m_Render = FormatOf(*pRenderMix);
    DWORD dwRenderFlags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
    WAVEFORMATEXTENSIBLE xr = {};
    if (m_Render.iRate != m_Capture.iRate)
    {
        // The engine runs at the input's rate; the output converts from it.
        m_Render = Pcm(std::max(2, m_Render.iChannels), m_Capture.iRate, 32, 32, true);
        xr = Extensible(m_Render);
        dwRenderFlags |= kAutoConvertPcm | kSrcDefaultQuality;
    }
    hr = WasapiFrameBytes(m_Capture) && WasapiFrameBytes(m_Render) ? S_OK : AUDCLNT_E_UNSUPPORTED_FORMAT;
    // A capture buffer far longer than a period costs no latency (it is read as
    // soon as a period arrives) and keeps a late read from losing input.
    if (SUCCEEDED(hr))
        hr = m_pCaptureClient->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                                          kSharedCaptureBuffer, 0, pCaptureMix, nullptr);
    if (SUCCEEDED(hr))
        hr = m_pRenderClient->Initialize(AUDCLNT_SHAREMODE_SHARED, dwRenderFlags, 0, 0,
                                         xr.Format.nChannels ? &xr.Format : pRenderMix, nullptr);
    CoTaskMemFree(pCaptureMix);
    CoTaskMemFree(pRenderMix);
    if (FAILED(hr))
        return Fail(hr, "IAudioClient::Initialize in shared mode", pWhy);
    m_bExclusive = false;
    m_iBlock = iBlock;
    return S_OK;
}

HRESULT CWasapiStream::Start(WasapiBlockSink* pSink, std::string* pWhy)
{
    if (!m_pCapture || !m_pRender || m_hThread)
        return Fail(E_UNEXPECTED, "the stream is not open", pWhy);
    m_pSink = pSink;
    m_iGathered = 0;
    m_Queue.Reset(m_iBlock, WasapiFrameBytes(m_Render), m_iQueueBlocks);
    m_bLost.store(false, std::memory_order_relaxed);
    ResetEvent(m_hStopEvent);
    // The render buffer starts full of silence, so the first period has something.
    BYTE* pData = nullptr;
    HRESULT hr = m_pRender->GetBuffer(m_uRenderFrames, &pData);
    if (SUCCEEDED(hr))
        hr = m_pRender->ReleaseBuffer(m_uRenderFrames, AUDCLNT_BUFFERFLAGS_SILENT);
    if (SUCCEEDED(hr))
        hr = m_pCaptureClient->Start();
    if (SUCCEEDED(hr))
        hr = m_pRenderClient->Start();
    if (FAILED(hr))
        return Fail(hr, "IAudioClient::Start", pWhy);
    m_hThread = CreateThread(nullptr, 0, &CWasapiStream::ThreadProc, this, 0, nullptr);
    if (!m_hThread)
    {
        m_pCaptureClient->Stop();
        m_pRenderClient->Stop();
        return Fail(HRESULT_FROM_WIN32(GetLastError()), "CreateThread", pWhy);
    }
    return S_OK;
}

DWORD WINAPI CWasapiStream::ThreadProc(LPVOID pThis)
{
    const HRESULT hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The "Pro Audio" multimedia class where the system has it (Windows 6 and later),
    // else the kernel-streaming thread's priority.
    HANDLE hTask = nullptr;
    typedef HANDLE(WINAPI * SetCharacteristics)(LPCSTR, LPDWORD);
    typedef BOOL(WINAPI * RevertCharacteristics)(HANDLE);
    HMODULE hAvrt = LoadLibraryA("avrt.dll");
    auto pSet = hAvrt ? reinterpret_cast<SetCharacteristics>(
                            reinterpret_cast<void*>(GetProcAddress(hAvrt, "AvSetMmThreadCharacteristicsA")))
                      : nullptr;
    auto pRevert = hAvrt ? reinterpret_cast<RevertCharacteristics>(
                               reinterpret_cast<void*>(GetProcAddress(hAvrt, "AvRevertMmThreadCharacteristics")))
                         : nullptr;
    DWORD dwTaskIndex = 0;
    if (pSet)
        hTask = pSet("Pro Audio", &dwTaskIndex);
    if (!hTask)
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    auto* pStream = static_cast<CWasapiStream*>(pThis);
    const HRESULT hr = pStream->Run();
    if (FAILED(hr))
    {
        pStream->m_bLost.store(true, std::memory_order_relaxed);
        if (pStream->m_hNotify)
            PostMessageA(pStream->m_hNotify, pStream->m_uNotify, 0, static_cast<LPARAM>(hr));
    }
    if (hTask && pRevert)
        pRevert(hTask);
    if (hAvrt)
        FreeLibrary(hAvrt);
    if (SUCCEEDED(hrCom))
        CoUninitialize();
    return 0;
}

HRESULT CWasapiStream::Run()
{
    const HANDLE ahWait[3] = {m_hStopEvent, m_hCaptureEvent, m_hRenderEvent};
    for (;;)
    {
        const DWORD dw = WaitForMultipleObjects(3, ahWait, FALSE, 2000);
        HRESULT hr = S_OK;
        if (dw == WAIT_OBJECT_0)
            return S_OK;
        if (dw == WAIT_OBJECT_0 + 1)
            hr = TakeCaptured();
        else if (dw == WAIT_OBJECT_0 + 2)
            hr = FeedRender();
        else if (dw == WAIT_FAILED)
            hr = HRESULT_FROM_WIN32(GetLastError());
        // A timeout: the endpoints went quiet; their next call tells whether they are gone.
        else
            hr = TakeCaptured();
        if (FAILED(hr))
            return hr;
    }
}

HRESULT CWasapiStream::TakeCaptured()
{
    const size_t uFrame = static_cast<size_t>(WasapiFrameBytes(m_Capture));
    for (;;)
    {
        UINT32 uPacket = 0;
        HRESULT hr = m_pCapture->GetNextPacketSize(&uPacket);
        if (FAILED(hr) || uPacket == 0)
            return hr;
        BYTE* pData = nullptr;
        UINT32 uFrames = 0;
        DWORD dwFlags = 0;
        hr = m_pCapture->GetBuffer(&pData, &uFrames, &dwFlags, nullptr, nullptr);
        if (FAILED(hr))
            return hr;
        for (UINT32 uDone = 0; uDone < uFrames;)
        {
            const int n = std::min(static_cast<int>(uFrames - uDone), m_iBlock - m_iGathered);
            BYTE* pTo = m_abGathered.data() + static_cast<size_t>(m_iGathered) * uFrame;
            if (dwFlags & AUDCLNT_BUFFERFLAGS_SILENT)
                std::fill(pTo, pTo + static_cast<size_t>(n) * uFrame, BYTE{0});
            else
                std::memcpy(pTo, pData + static_cast<size_t>(uDone) * uFrame, static_cast<size_t>(n) * uFrame);
            uDone += static_cast<UINT32>(n);
            m_iGathered += n;
            if (m_iGathered == m_iBlock)
            {
                if (m_pSink)
                    m_pSink->RunBlock(m_Capture, m_abGathered.data(), m_Render, m_abOutput.data());
                m_Queue.Push(m_abOutput.data());
                m_iGathered = 0;
                m_llBlocks.fetch_add(1, std::memory_order_relaxed);
            }
        }
        hr = m_pCapture->ReleaseBuffer(uFrames);
        if (FAILED(hr))
            return hr;
    }
}

HRESULT CWasapiStream::FeedRender()
{
    UINT32 uFrames = m_uRenderFrames;
    if (!m_bExclusive)
    {
        UINT32 uPadding = 0;
        const HRESULT hr = m_pRenderClient->GetCurrentPadding(&uPadding);
        if (FAILED(hr))
            return hr;
        uFrames -= std::min(uPadding, uFrames);
    }
    if (uFrames == 0)
        return S_OK;
    BYTE* pData = nullptr;
    HRESULT hr = m_pRender->GetBuffer(uFrames, &pData);
    if (FAILED(hr))
        return hr;
    m_Queue.Pull(pData, static_cast<int>(uFrames));
    m_llDropped.store(m_Queue.Dropped(), std::memory_order_relaxed);
    m_llRepeated.store(m_Queue.Repeated(), std::memory_order_relaxed);
    return m_pRender->ReleaseBuffer(uFrames, 0);
}

bool CWasapiStream::Stop()
{
    if (m_hThread)
    {
        SetEvent(m_hStopEvent);
        // A thread stuck in a driver keeps the objects it uses: they are not released.
        if (WaitForSingleObject(m_hThread, kStopMilliseconds) != WAIT_OBJECT_0)
            return false;
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    // Stopped and emptied, so that Start begins afresh.
    if (m_pCaptureClient)
    {
        m_pCaptureClient->Stop();
        m_pCaptureClient->Reset();
    }
    if (m_pRenderClient)
    {
        m_pRenderClient->Stop();
        m_pRenderClient->Reset();
    }
    return true;
}

void CWasapiStream::Close()
{
    if (!Stop())
        return;
    Release(m_pCapture);
    Release(m_pRender);
    Release(m_pCaptureClient);
    Release(m_pRenderClient);
    Release(m_pCaptureDevice);
    Release(m_pRenderDevice);
    for (HANDLE* p : {&m_hCaptureEvent, &m_hRenderEvent, &m_hStopEvent})
        if (*p)
        {
            CloseHandle(*p);
            *p = nullptr;
        }
    if (m_bComInit)
        CoUninitialize();
    m_bComInit = false;
    m_bExclusive = false;
    m_iBlock = 0;
}
