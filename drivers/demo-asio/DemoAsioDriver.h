#pragma once
// A stand-in ASIO driver for running and testing the program where no audio
// hardware exists: two inputs that play a WAV recording in a loop, two outputs
// recorded to a WAV file, 44100, 48000 and 96000 Hz; the sample type and the block
// sizes are its switches (32-bit integers, 25 to 2000 frames unless set). Its own
// thread calls the host once per block and, when told to, sends the requests real
// drivers send after a change in their control panel. It acts out a strict device:
// buffers exactly as large as the type needs, fenced on both sides, and calls a
// host must not make from within a callback are counted (DemoAsioDiagnostics.h).
#include <atomic>
#include <vector>

#include "audio/asio/AsioInterface.h"
#include "base/WavFile.h"
#include "drivers/demo-asio/DemoAsioBuffer.h"
#include "drivers/demo-asio/DemoAsioSettings.h"

// {7A3C52E1-4F0B-4C6E-9D21-5B8E0F6A9C34}
extern const CLSID CLSID_TonquarryDemoAsio;
constexpr char kDemoAsioClsid[] = "{7A3C52E1-4F0B-4C6E-9D21-5B8E0F6A9C34}";
constexpr char kDemoAsioName[] = "Tonquarry Demo ASIO";

// Live objects of the DLL, for DllCanUnloadNow.
extern std::atomic<long> g_lDemoAsioObjects;
// What DemoAsioDiagnostics reports, since the DLL was loaded.
extern std::atomic<long> g_lDemoGuardFaults;
extern std::atomic<long> g_lDemoCallsFromCallback;
extern std::atomic<long> g_lDemoRequestsSent;
extern std::atomic<void*> g_pDemoLastInitWindow;

ASIO_COM_CLASS_BEGIN
class CDemoAsioDriver final : public IAsioDriver
{
public:
    static constexpr int kChannels = 2;

    CDemoAsioDriver();
    CDemoAsioDriver(const CDemoAsioDriver&) = delete;
    CDemoAsioDriver& operator=(const CDemoAsioDriver&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    ASIOBool ASIO_METHOD init(void* sysHandle) override;
    void ASIO_METHOD getDriverName(char* name) override;
    long ASIO_METHOD getDriverVersion() override;
    void ASIO_METHOD getErrorMessage(char* text) override;
    ASIOError ASIO_METHOD start() override;
    ASIOError ASIO_METHOD stop() override;
    ASIOError ASIO_METHOD getChannels(long* inputs, long* outputs) override;
    ASIOError ASIO_METHOD getLatencies(long* input, long* output) override;
    ASIOError ASIO_METHOD getBufferSize(long* minSize, long* maxSize, long* preferred, long* granularity) override;
    ASIOError ASIO_METHOD canSampleRate(ASIOSampleRate rate) override;
    ASIOError ASIO_METHOD getSampleRate(ASIOSampleRate* rate) override;
    ASIOError ASIO_METHOD setSampleRate(ASIOSampleRate rate) override;
    ASIOError ASIO_METHOD getClockSources(ASIOClockSource* clocks, long* count) override;
    ASIOError ASIO_METHOD setClockSource(long index) override;
    ASIOError ASIO_METHOD getSamplePosition(ASIOSamples* position, ASIOTimeStamp* time) override;
    ASIOError ASIO_METHOD getChannelInfo(ASIOChannelInfo* info) override;
    ASIOError ASIO_METHOD createBuffers(ASIOBufferInfo* infos, long count, long bufferSize,
                                        ASIOCallbacks* callbacks) override;
    ASIOError ASIO_METHOD disposeBuffers() override;
    ASIOError ASIO_METHOD controlPanel() override;
    ASIOError ASIO_METHOD future(long selector, void* opt) override;
    ASIOError ASIO_METHOD outputReady() override;

private:
    ~CDemoAsioDriver();
    static DWORD WINAPI ThreadProc(void* pThis);
    // True (and counted) when the caller is a callback on the streaming thread.
    bool FromCallback() const;
    bool SizeAllowed(long size) const;
    void StopStream();
    void FreeBuffers();
    void Stream();
    void SendRequests(unsigned long long blocks);
    void FillInputs(int half);
    void CheckFronts();
    void RecordOutputs(int half);
    void WriteRecording();

    std::atomic<long> m_lRefs{1};
    DemoAsioSettings m_Settings;
    bool m_bInitialised = false;
    char m_szError[124] = {};
    std::atomic<double> m_dRate{48000.0};    // changed by the streaming thread's rate request
    std::atomic<long> m_lPreferred{1200};   // ... and its size request
    int m_iRateReads = 0;

    WavAudio m_Wav;                 // the recording played, in 16-bit scale
    double m_dWavPos = 0.0;         // a frame of it, fractional when resampled
    std::vector<float> m_Recorded[kChannels];

    // Created buffers: [input 0, output 1][channel][half], of m_lType.
    CDemoAsioBuffer m_Buffers[2][kChannels][2];
    bool m_bActive[2][kChannels] = {};
    long m_lBlock = 0;
    long m_lType = ASIOSTInt32LSB;
    size_t m_nSampleBytes = 4;
    ASIOCallbacks m_Callbacks = {};
    bool m_bTimeInfo = false;

    // Requests still to send (blocks after start, below 0: none); the streaming
    // thread's own once it runs.
    long long m_llResetAfter = -1;
    long long m_llSizeChangeAfter = -1;
    long long m_llRateChangeAfter = -1;

    HANDLE m_hThread = nullptr;
    std::atomic<DWORD> m_dwStreamThread{0};  // its id while it runs
    bool m_bEndItself = false;               // released from its own callback: the thread deletes the object
    std::atomic<bool> m_bStop{false};
    std::atomic<unsigned long long> m_ullPosition{0};  // frames played since start
};
ASIO_COM_CLASS_END
