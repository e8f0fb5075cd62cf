#pragma once
// A stand-in ASIO driver for running and testing the program where no audio
// hardware exists: two inputs that play a WAV recording in a loop, two outputs
// recorded to a WAV file, 32-bit integer samples, 44100, 48000 and 96000 Hz, blocks
// of 25 to 2000 frames. Its own thread calls the host once per block.
#include <atomic>
#include <vector>

#include "audio/asio/AsioInterface.h"
#include "base/WavFile.h"
#include "drivers/demo-asio/DemoAsioSettings.h"

// {7A3C52E1-4F0B-4C6E-9D21-5B8E0F6A9C34}
extern const CLSID CLSID_TonquarryDemoAsio;
constexpr char kDemoAsioClsid[] = "{7A3C52E1-4F0B-4C6E-9D21-5B8E0F6A9C34}";
constexpr char kDemoAsioName[] = "Tonquarry Demo ASIO";

// Live objects of the DLL, for DllCanUnloadNow.
extern std::atomic<long> g_lDemoAsioObjects;

ASIO_COM_CLASS_BEGIN
class CDemoAsioDriver final : public IAsioDriver
{
public:
    static constexpr long kMinBlock = 25;
    static constexpr long kMaxBlock = 2000;
    static constexpr long kPreferredBlock = 1200;
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
    void Stream();
    void FillInputs(int half);
    void RecordOutputs(int half);
    void WriteRecording();

    std::atomic<long> m_lRefs{1};
    DemoAsioSettings m_Settings;
    bool m_bInitialised = false;
    char m_szError[124] = {};
    double m_dRate = 48000.0;
    int m_iRateReads = 0;

    WavAudio m_Wav;                 // the recording played, in 16-bit scale
    size_t m_nWavPos = 0;
    std::vector<float> m_Recorded[kChannels];

    // Created buffers: [channel][half], input and output.
    std::vector<std::int32_t> m_Buffers[2][kChannels][2];
    bool m_bActive[2][kChannels] = {};
    long m_lBlock = 0;
    ASIOCallbacks m_Callbacks = {};
    bool m_bTimeInfo = false;

    HANDLE m_hThread = nullptr;
    std::atomic<bool> m_bStop{false};
    std::atomic<unsigned long long> m_ullPosition{0};  // frames played since start
};
ASIO_COM_CLASS_END
