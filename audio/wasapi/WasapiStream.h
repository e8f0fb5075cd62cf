#pragma once
// Windows audio (WASAPI, Windows 6 and later): captures from one endpoint and
// renders to another, event-driven, on a thread of its own. Exclusive mode at the
// asked rate and block where both endpoints take it, else shared mode with the
// endpoints' mix formats. Captured frames are gathered into engine blocks; each
// block's output waits in a RenderQueue for the render endpoint, whose clock may
// run apart from the capture endpoint's.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "audio/wasapi/RenderQueue.h"
#include "audio/wasapi/WasapiFormat.h"

struct IMMDevice;
struct IAudioClient;
struct IAudioCaptureClient;
struct IAudioRenderClient;

// Runs one block through the engine: the block's captured frames in, its output
// frames (zero to begin with) written.
struct WasapiBlockSink
{
    virtual ~WasapiBlockSink() = default;
    virtual void RunBlock(const WasapiFormat& in, void* pInFrames, const WasapiFormat& out, void* pOutFrames) = 0;
};

class CWasapiStream
{
public:
    ~CWasapiStream() { Close(); }

    // Opens the endpoints (empty ids: the system's defaults) and chooses the mode,
    // formats and block. 0 on success, else the failing call's HRESULT, with the
    // step in *pWhy.
    HRESULT Open(const std::wstring& sCaptureId, const std::wstring& sRenderId, int iRate, int iBlock,
                 std::string* pWhy);
    // Starts streaming into pSink on the stream's thread.
    HRESULT Start(WasapiBlockSink* pSink, std::string* pWhy);
    // Stops the thread and the endpoints; Open's choices stay until Close. False
    // when the thread did not end within kStopMilliseconds.
    bool Stop();
    void Close();
    static constexpr DWORD kStopMilliseconds = 5000;

    bool Exclusive() const { return m_bExclusive; }
    int Rate() const { return m_Capture.iRate; }
    int Block() const { return m_iBlock; }
    const WasapiFormat& CaptureFormat() const { return m_Capture; }
    const WasapiFormat& RenderFormat() const { return m_Render; }
    // Blocks dropped and repeated between the two clocks, blocks run so far.
    long long Dropped() const { return m_llDropped.load(std::memory_order_relaxed); }
    long long Repeated() const { return m_llRepeated.load(std::memory_order_relaxed); }
    long long Blocks() const { return m_llBlocks.load(std::memory_order_relaxed); }
    // The endpoint went away or was invalidated while streaming: the thread ended.
    bool Lost() const { return m_bLost.load(std::memory_order_relaxed); }
    // Set before Start: posted once to the window when the stream is lost.
    void NotifyOnLoss(HWND hWindow, UINT uMessage)
    {
        m_hNotify = hWindow;
        m_uNotify = uMessage;
    }

private:
    static DWORD WINAPI ThreadProc(LPVOID pThis);
    HRESULT Run();
    HRESULT TakeCaptured();
    HRESULT FeedRender();
    HRESULT OpenExclusive(int iRate, int iBlock);
    HRESULT OpenShared(int iBlock, std::string* pWhy);

    IMMDevice* m_pCaptureDevice = nullptr;
    IMMDevice* m_pRenderDevice = nullptr;
    IAudioClient* m_pCaptureClient = nullptr;
    IAudioClient* m_pRenderClient = nullptr;
    IAudioCaptureClient* m_pCapture = nullptr;
    IAudioRenderClient* m_pRender = nullptr;
    HANDLE m_hCaptureEvent = nullptr;
    HANDLE m_hRenderEvent = nullptr;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hThread = nullptr;
    bool m_bComInit = false;

    bool m_bExclusive = false;
    WasapiFormat m_Capture;
    WasapiFormat m_Render;
    int m_iBlock = 0;
    UINT32 m_uRenderFrames = 0;     // the render buffer's size

    WasapiBlockSink* m_pSink = nullptr;
    std::vector<BYTE> m_abGathered;  // the block being gathered, as captured
    int m_iGathered = 0;             // frames of it
    std::vector<BYTE> m_abOutput;    // the block's output, as rendered
    RenderQueue m_Queue;
    int m_iQueueBlocks = 0;

    std::atomic<long long> m_llDropped{0};
    std::atomic<long long> m_llRepeated{0};
    std::atomic<long long> m_llBlocks{0};
    std::atomic<bool> m_bLost{false};
    HWND m_hNotify = nullptr;
    UINT m_uNotify = 0;
};
