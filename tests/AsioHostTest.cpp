// The ASIO host against the demo driver, registered in this Wine prefix by the
// test program itself: driver list, Init on every failure path, every sample type
// and the driver's buffer sizes streaming end to end, the driver's restart
// requests, release and leaks.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/StreamControlWin.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "audio/asio/Asio.h"
#include "audio/asio/AsioDriverList.h"
#include "audio/asio/AsioSampleTypes.h"
#include "audio/asio/AsioSamples.h"
#include "base/Log.h"
#include "base/WavFile.h"
#include "dsp/Alloc.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "drivers/demo-asio/DemoAsioDiagnostics.h"
#include "tests/TestSupport.h"
#include "tools/OfflineTuner.h"

HWND g_hWnd = nullptr;  // the program's main window; here the request test's hidden one

namespace {

const char kEntry[] = "software\\asio\\ASIO4ALL v2";

std::string WindowsPath(std::string p)
{
    if (!p.empty() && p[0] == '/')
        p = "Z:" + p;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

void SetValue(HKEY root, const std::string& key, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), ERROR_SUCCESS);
    RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(h);
}
void SetText(HKEY root, const std::string& key, const char* name, const std::string& value)
{
    SetValue(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}
// A switch of the demo driver: a number, or the fault names it is to act out.
void SetNumber(const char* name, DWORD value) { SetValue(HKEY_LOCAL_MACHINE, kEntry, name, REG_DWORD, &value, sizeof value); }
void SetFaults(const char* faults) { SetText(HKEY_LOCAL_MACHINE, kEntry, "Faults", faults); }

// A text value of the registry; empty when there is none.
std::string GetText(HKEY root, const std::string& key, const char* name)
{
    char buf[MAX_PATH] = {};
    DWORD size = sizeof buf - 1;
    RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}

void ClearDriverSwitches()
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEntry, 0, KEY_WRITE, &h) != ERROR_SUCCESS)
        return;
    for (const char* name : {"WavIn", "WavOut", "InputGain", "RealTime", "Rate", "FirstRate", "Faults", "SampleType",
                             "MinSize", "MaxSize", "PreferredSize", "Granularity", "ResetAfterBlocks",
                             "SizeChangeAfterBlocks", "NewSize", "RateChangeAfterBlocks", "NewRate"})
        RegDeleteValueA(h, name);
    RegCloseKey(h);
}

// Registers the demo driver as "ASIO4ALL v2" for the whole program, through the
// same export its registration command uses.
class DemoDriverEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_hDll = LoadLibraryA(WindowsPath(TQ_DEMO_ASIO_DLL).c_str());
        ASSERT_NE(m_hDll, nullptr) << TQ_DEMO_ASIO_DLL;
        CheckSelfRegistration();
        auto reg = Export<HRESULT(STDAPICALLTYPE*)(const char*)>("DemoAsioRegister");
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(kAsioDriverName), S_OK);
    }
    void TearDown() override
    {
        CAsio::Release();
        auto unreg = Export<HRESULT(STDAPICALLTYPE*)()>("DemoAsioUnregister");
        if (unreg)
            unreg();
    }

private:
    template <class F>
    F Export(const char* name) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_hDll, name)));
    }
    // What regsvr32 calls: the driver's own name, the class with its server, and
    // everything gone again after unregistering.
    void CheckSelfRegistration() const
    {
        auto reg = Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
        auto unreg = Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer");
        ASSERT_TRUE(reg && unreg);
        ASSERT_EQ(reg(), S_OK);
        const char* key = "software\\asio\\Tonquarry Demo ASIO";
        EXPECT_EQ(GetText(HKEY_LOCAL_MACHINE, key, "Description"), "Tonquarry Demo ASIO");
        const std::string server32 = "CLSID\\" + GetText(HKEY_LOCAL_MACHINE, key, "CLSID") + "\\InprocServer32";
        const std::string server = GetText(HKEY_CLASSES_ROOT, server32, nullptr);
        EXPECT_NE(GetFileAttributesA(server.c_str()), INVALID_FILE_ATTRIBUTES) << server32 << ": " << server;
        ASSERT_EQ(unreg(), S_OK);
        HKEY h = nullptr;
        EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h), ERROR_SUCCESS);
        EXPECT_NE(RegOpenKeyExA(HKEY_CLASSES_ROOT, server32.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    }

    HMODULE m_hDll = nullptr;
};
::testing::Environment* const g_pEnvironment = ::testing::AddGlobalTestEnvironment(new DemoDriverEnvironment);

bool Has(const std::vector<std::string>& lines, const std::string& text)
{
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// What the demo driver saw of the host since it was loaded.
DemoAsioCounters DriverCounters()
{
    DemoAsioCounters c = {};
    auto get = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(DemoAsioCounters*)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("tq-demo-asio.dll"), "DemoAsioDiagnostics")));
    EXPECT_TRUE(get && get(&c) == S_OK);
    return c;
}

// The recording every stream plays: 1 s of the A string, 30 cents flat.
const char kPlayed[] = "clean-A2-30c.wav";

class AsioHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearDriverSwitches();
        CAsio::Attach(&m_Engine);
        g_fRequestedSamplingFreq = 48000.0f;
        g_iRequestedBlockSize = 256;
        g_fSamplingFreq = 48000.0f;
        g_iInputChannels = 0;
    }
    void TearDown() override
    {
        CAsio::Release();
        CAsio::Attach(nullptr);
        m_Engine.Release();
        ClearDriverSwitches();
    }
    // The log lines written since the last Init.
    std::vector<std::string> NewLog() const
    {
        std::vector<std::string> lines = LogLines();
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(m_Mark, lines.size())));
        return lines;
    }
    // CAsio::Init with the driver's console lines kept.
    int Init()
    {
        m_Mark = LogLines().size();
        testing::internal::CaptureStdout();
        const int i = CAsio::Init();
        m_sOut = testing::internal::GetCapturedStdout();
        return i;
    }

    CDspEngine m_Engine;
    size_t m_Mark = 0;
    std::string m_sOut;
};

} // namespace

TEST_F(AsioHost, InitLogsTheDriverAndTheStream)
{
    EXPECT_EQ(CAsio::bIsAsioDriverPresent(), 1);
    EXPECT_EQ(AsioDriverListInstance()->CurrentIndex(), -1);
    EXPECT_EQ(g_pAsioDriver, nullptr);

    g_iRequestedBlockSize = 300;
    ASSERT_EQ(Init(), 1);
    EXPECT_NE(m_sOut.find("ASIOOutputReady(); - Supported"), std::string::npos);
    const std::vector<std::string> log = NewLog();
    for (const char* line : {
             "CAsio::Init()", "CAsio::InitAsioStaticData() using sampleRate = 48000.000000", "max inputChannels  = 2",
             "max outputChannels = 2", "minSize = 25", "maxSize = 2000", "preferredSize = 1200", "granularity   = 1",
             "Asio version   = 2", "Driver version = 1", "Driver name    = Tonquarry Demo ASIO",
             "create_asio_buffers()", "inputLatency 300 outputLatency = 300", "Num input buffers = 2",
             "Num ouput buffers = 2", "i = 0  channel = 0  format = 18  isInput = 1  name = Demo In 1",
             "i = 3  channel = 1  format = 18  isInput = 0  name = Demo Out 2",
             "CAsio::Init() g_fSamplingFreq = 48000.000000", "InitDSP()"})
        EXPECT_TRUE(Has(log, line)) << line;
    EXPECT_EQ(std::count(log.begin(), log.end(), "CAsio::InitAsioStaticData() using sampleRate = 48000.000000"), 1);
    EXPECT_EQ(log.back(), "");
    EXPECT_EQ(g_iBlockSize, 300);
    EXPECT_EQ(g_iBufMonoLen, 600);
    EXPECT_EQ(LfoBufLen, 96000);
    EXPECT_EQ(g_iMaxSamplingFreq, 192000);
    EXPECT_EQ(g_AsioStaticData.preferredSize, 300);
    EXPECT_EQ(g_AsioStaticData.postOutput, 1);
    EXPECT_EQ(m_Engine.m_bOn.load(), 1);
}

// Each fault switch of the driver: what the host logs, returns and keeps loaded.
TEST_F(AsioHost, InitFailurePaths)
{
    const char* const kStaticDataFailed = "CAsio::Init() InitAsioStaticData() FAILED";
    const char* const kBuffersFailed = "CAsio::Init() create_asio_buffers() FAILED";
    const struct
    {
        const char* faults;
        DWORD firstRate;  // 0xFFFFFFFF: none
        const char* stepLine;
        const char* initLine;
        bool pointerKept;
        const char* step;  // as the player is told it
    } cases[] = {
        {"init", ~0u, nullptr, "CAsio::Init() ASIOInit() FAILED", false, "init"},
        {"getChannels", ~0u, "CAsio::InitAsioStaticData() ASIOGetChannels() FAILED", kStaticDataFailed, true,
         "getChannels"},
        {"getBufferSize", ~0u, "CAsio::InitAsioStaticData() ASIOGetBufferSize() FAILED", kStaticDataFailed, true,
         "getBufferSize"},
        {"getSampleRate", ~0u, "CAsio::InitAsioStaticData() ASIOGetSampleRate() FAILED", kStaticDataFailed, true,
         "getSampleRate"},
        {"setSampleRate", 0, "CAsio::InitAsioStaticData() ASIOSetSampleRate() 2 FAILED  48000", kStaticDataFailed, true,
         "setSampleRate"},
        {"getSampleRateAgain", 384000, "CAsio::InitAsioStaticData() ASIOGetSampleRate() FAILED  48000", kStaticDataFailed,
         true, "getSampleRate"},
        {"createBuffers", ~0u, "create_asio_buffers() ASIOCreateBuffers() FAILED", kBuffersFailed, true,
         "createBuffers"},
        {"getChannelInfo", ~0u, "create_asio_buffers() ASIOGetChannelInfo() FAILED", kBuffersFailed, true,
         "getChannelInfo"},
        {"getLatencies", ~0u, "Num ouput buffers = 2", kBuffersFailed, true, "getLatencies"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.faults);
        SetFaults(c.faults);
        if (c.firstRate != ~0u)
            SetNumber("FirstRate", c.firstRate);
        EXPECT_EQ(Init(), 0);
        const std::vector<std::string> log = NewLog();
        EXPECT_TRUE(!c.stepLine || Has(log, c.stepLine));
        EXPECT_EQ(log.back(), c.initLine);
        EXPECT_STREQ(CAsio::FailedStep(), c.step);
        EXPECT_FALSE(Has(log, "CAsio::Init() g_fSamplingFreq = 48000.000000"));
        // The driver stays loaded until Release; a refused init forgets only the pointer.
        EXPECT_EQ(AsioDriverListInstance()->CurrentIndex(), 0);
        EXPECT_EQ(g_pAsioDriver != nullptr, c.pointerKept);
        if (std::strcmp(c.faults, "init") == 0)
        {
            EXPECT_STREQ(g_AsioStaticData.driverInfo.errorMessage, "Demo driver: init refused by its fault switch");
        }
        const auto latencies = [](const std::string& s) { return s.rfind("inputLatency", 0) == 0; };
        EXPECT_TRUE(std::strcmp(c.faults, "getLatencies") != 0 || std::none_of(log.begin(), log.end(), latencies));
        CAsio::Release();
        EXPECT_EQ(AsioDriverListInstance()->CurrentIndex(), -1);
        EXPECT_EQ(g_pAsioDriver, nullptr);
        ClearDriverSwitches();
    }
}

// Rates: a driver reporting nonsense is set to 48000 Hz; one that refuses the
// requested rate keeps its own, and the engine then runs at the driver's rate.
TEST_F(AsioHost, RateDecisions)
{
    const struct
    {
        float requested;
        DWORD rate;
        DWORD firstRate;
        const char* faults;
        float used;
        bool setDefault;
        bool refused;  // the requested rate, in the log
    } cases[] = {
        {96000.0f, 48000, 0, "", 48000.0f, true, false},
        {96000.0f, 48000, 384000, "", 48000.0f, true, false},
        {48000.0f, 44100, ~0u, "setSampleRate", 44100.0f, false, true},
        {44100.0f, 96000, ~0u, "", 44100.0f, false, false},
        {12000.0f, 48000, ~0u, "", 48000.0f, false, true},  // a stored rate the driver does not have
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rate);
        g_fRequestedSamplingFreq = c.requested;
        g_fSamplingFreq = c.requested;  // as the settings file sets both
        SetNumber("Rate", c.rate);
        if (c.firstRate != ~0u)
            SetNumber("FirstRate", c.firstRate);
        SetFaults(c.faults);
        ASSERT_EQ(Init(), 1);
        const std::vector<std::string> log = NewLog();
        EXPECT_EQ(g_fSamplingFreq, c.used);
        EXPECT_EQ(g_fPrevSamplingFreq, c.used);
        EXPECT_EQ(LfoBufLen, static_cast<int>(2.0f * c.used));
        EXPECT_EQ(Has(log, "CAsio::InitAsioStaticData() Setting default sample rate =  48000"), c.setDefault);
        EXPECT_EQ(Has(log, "CAsio::InitAsioStaticData() ASIOSetSampleRate() refused " +
                               std::to_string(static_cast<int>(c.requested))),
                  c.refused);
        const std::string used = std::to_string(c.used);  // as "%f" prints it
        EXPECT_TRUE(Has(log, "CAsio::Init() g_fSamplingFreq = " + used));
        EXPECT_TRUE(Has(log, "CAsio::InitAsioStaticData() using sampleRate = " + (c.setDefault ? "48000" : used)));
        CAsio::Release();
        ClearDriverSwitches();
    }
}

TEST_F(AsioHost, StartFaultAndNoOutputReady)
{
    SetFaults("start outputReady");
    ASSERT_EQ(Init(), 1);
    EXPECT_NE(m_sOut.find("ASIOOutputReady(); - Not supported"), std::string::npos);
    EXPECT_EQ(g_AsioStaticData.postOutput, 0);
    EXPECT_NE(ASIOStart(), ASE_OK);
}

// A driver that fails at start-up or at a restart from Options: the player is told
// once, with the driver's name and the step, and the read-out shows no reading.
TEST_F(AsioHost, FailingDriverIsToldOnceAtStartAndAtRestart)
{
    static std::vector<std::string> s_Messages;
    struct Restore
    {
        AudioPlatform platform = g_AudioPlatform;
        int iMajor = g_iWindowsMajorVersion;
        CDspEngine* pEngine = g_pDspEngine;
        ~Restore()
        {
            g_AudioPlatform = platform;
            g_iWindowsMajorVersion = iMajor;
            g_pDspEngine = pEngine;
            g_iAudioDriver = g_iConfirmedAudioDriver = AUDIO_DRIVER_ASIO;
        }
    } restore;
    g_AudioPlatform = WindowsAudioPlatform();
    g_AudioPlatform.ShowError = [](const char* szText, const char*) { s_Messages.push_back(szText); };
    // No Windows audio to fall back on, whatever sound the machine has.
    g_AudioPlatform.aBackends[AUDIO_DRIVER_WASAPI].Init = [] { return 0; };
    g_AudioPlatform.aBackends[AUDIO_DRIVER_WASAPI].FailedStep = [] { return "no input device"; };
    g_iWindowsMajorVersion = 6;
    g_pDspEngine = &m_Engine;
    const std::pair<const char*, const char*> faults[] = {
        {"init", "init"}, {"getBufferSize", "getBufferSize"}, {"createBuffers", "createBuffers"}, {"start", "start"}};
    for (const auto& f : faults)
        for (const bool bRestart : {false, true})
        {
            SCOPED_TRACE(std::string(f.first) + (bRestart ? " at a restart" : " at start-up"));
            ClearDriverSwitches();
            g_iAudioDriver = AUDIO_DRIVER_ASIO;
            if (bRestart)
            {
                ASSERT_EQ(InitAudio(), 1);
                ASSERT_EQ(StartAudio(), 1);
            }
            SetFaults(f.first);
            s_Messages.clear();
            m_Engine.m_Tuner2.m_Tuner.SetMeasured(80.96f);
            m_Engine.m_Tuner2.m_fMeasuredFreq.store(80.96f);
            if (bRestart)
                RestartStream(AUDIO_DRIVER_ASIO);
            else
            {
                InitAudio();
                StartAudio();
            }
            // A driver that does not open sends the tuner on to Windows audio first.
            EXPECT_EQ(s_Messages, std::vector<std::string>{std::string(f.first) == "start"
                                                               ? DriverFailedMessage(kAsioDriverName, f.second)
                                                               : NoDriverStartedMessage(f.second, "no input device")});
            EXPECT_EQ(m_Engine.m_Tuner2.m_Tuner.Measured(), 0.0f);
            EXPECT_EQ(m_Engine.m_Tuner2.m_fMeasuredFreq.load(), 0.0f);
            CAsio::Release();
        }
}

// Big-endian and DSD drivers are refused before a buffer is touched, and the
// audio start-up falls back as for any driver that fails.
TEST_F(AsioHost, TypesTheHostCannotConvertAreRefused)
{
    for (const char* type : {"Int24MSB", "Float32MSB", "DSDInt8LSB1"})
    {
        SCOPED_TRACE(type);
        SetText(HKEY_LOCAL_MACHINE, kEntry, "SampleType", type);
        const long guards = DriverCounters().guardFaults;
        EXPECT_EQ(Init(), 0);
        const std::vector<std::string> log = NewLog();
        EXPECT_TRUE(Has(log, "create_asio_buffers() sample type " + std::string(type) + " (" +
                                 std::to_string(AsioSampleTypeOfName(type)) + ") is not supported"));
        EXPECT_EQ(log.back(), "CAsio::Init() create_asio_buffers() FAILED");
        CAsio::Release();
        EXPECT_EQ(DriverCounters().guardFaults, guards);
    }
}

// The size asked for is one the driver allows; the stream, the log and what the
// settings keep follow it.
TEST_F(AsioHost, BlockSizeWithinTheDriversLimits)
{
    const DWORD kPowersOfTwo = 0xFFFFFFFF;  // granularity -1
    const struct
    {
        DWORD min, max, preferred, granularity;
        const char* faults;
        int requested, used;
    } cases[] = {
        {64, 2048, 512, kPowersOfTwo, "", 300, 256},
        {32, 1024, 256, 32, "", 300, 288},
        {480, 480, 480, 0, "", 1200, 480},
        {25, 2000, 1200, 1, "", 10, 25},
        // Allows more than it takes: refused, then the driver's preferred size.
        {25, 2000, 1200, 1, "createBuffersUnlessPreferred", 300, 1200},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.requested) + " of " + std::to_string(static_cast<long>(c.granularity)));
        SetNumber("MinSize", c.min);
        SetNumber("MaxSize", c.max);
        SetNumber("PreferredSize", c.preferred);
        SetNumber("Granularity", c.granularity);
        SetFaults(c.faults);
        g_iRequestedBlockSize = c.requested;
        ASSERT_EQ(Init(), 1);
        const std::vector<std::string> log = NewLog();
        const bool bRefused = *c.faults != '\0';
        EXPECT_TRUE(Has(log, "create_asio_buffers() block size = " + std::to_string(bRefused ? c.requested : c.used)));
        EXPECT_EQ(Has(log, "create_asio_buffers() ASIOCreateBuffers() refused " + std::to_string(c.requested) +
                               " frames; using the driver's preferred " + std::to_string(c.preferred)),
                  bRefused);
        EXPECT_TRUE(Has(log, "inputLatency " + std::to_string(c.used) + " outputLatency = " + std::to_string(c.used)));
        EXPECT_EQ(g_iBlockSize, c.used);
        EXPECT_EQ(g_iRequestedBlockSize, c.used);
        EXPECT_EQ(g_iBufMonoLen, 2 * c.used);
        ASSERT_EQ(ASIOStart(), ASE_OK);
        EXPECT_TRUE(WaitUntil([] { return g_lAsioBlocks.load() >= 3; }));
        CAsio::Release();
        ClearDriverSwitches();
    }
}

TEST_F(AsioHost, NoDriverAnswersAndHarmlessRelease)
{
    CAsio::Release();
    CAsio::Release();
    ASSERT_EQ(g_pAsioDriver, nullptr);
    EXPECT_FALSE(loadAsioDriver("No such driver"));

    ASIODriverInfo info = {};
    EXPECT_EQ(ASIOInit(&info), ASE_NotPresent);
    EXPECT_STREQ(info.name, "No ASIO Driver");
    EXPECT_EQ(info.driverVersion, 0);
    long a = 5, b = 5, c = 5, d = 5;
    EXPECT_EQ(ASIOGetChannels(&a, &b), ASE_NotPresent);
    EXPECT_EQ(ASIOGetBufferSize(&a, &b, &c, &d), ASE_NotPresent);
    EXPECT_TRUE(a == 0 && b == 0 && c == 0 && d == 0);
    a = b = 5;
    EXPECT_EQ(ASIOGetLatencies(&a, &b), ASE_NotPresent);
    EXPECT_TRUE(a == 0 && b == 0);
    ASIOChannelInfo ci = {};
    EXPECT_EQ(ASIOGetChannelInfo(&ci), ASE_NotPresent);
    EXPECT_EQ(ci.channelGroup, -1);
    EXPECT_STREQ(ci.name, "None");
    ASIOBufferInfo bi[2] = {};
    bi[0].buffers[0] = bi[1].buffers[1] = &a;
    EXPECT_EQ(ASIOCreateBuffers(bi, 2, 256, nullptr), ASE_NotPresent);
    EXPECT_TRUE(!bi[0].buffers[0] && !bi[1].buffers[1]);
    for (ASIOError e : {ASIOStart(), ASIOStop(), ASIOSetSampleRate(48000.0), ASIODisposeBuffers(), ASIOOutputReady()})
        EXPECT_EQ(e, ASE_NotPresent);
    EXPECT_EQ(ASIOExit(), ASE_OK);
}

TEST_F(AsioHost, InitReleaseCyclesLeakNoHandleOrMemory)
{
    auto cycle = [this] {
        ASSERT_EQ(Init(), 1);
        ASSERT_EQ(ASIOStart(), ASE_OK);
        // Released while blocks run, as when the player quits.
        ASSERT_TRUE(WaitUntil([] { return g_lAsioBlocks.load() >= 2; })) << g_lAsioBlocks.load() << " blocks";
        CAsio::Release();
        CAsio::Release();
    };
    cycle();
    DWORD handles = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const DWORD mem = g_dwMemCount.load(), blocks = g_dwMemBlockCount.load();
    for (int i = 0; i < 5; ++i)
        cycle();
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(after, handles);
    EXPECT_EQ(g_dwMemCount.load(), mem);
    EXPECT_EQ(g_dwMemBlockCount.load(), blocks);
    // Every driver object the host made has been released again.
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("tq-demo-asio.dll"), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
}

// ---------------------------------------------------------------------------
// Streaming: the demo driver plays a recording as fast as the host returns; the
// file it records must hold exactly what the offline path makes of the recording.

struct StreamCase
{
    const char* type;    // the driver's sample type
    bool bStereo;
    const char* faults;  // "timeInfo": the driver calls bufferSwitch instead
};

class AsioStream : public AsioHost, public ::testing::WithParamInterface<StreamCase>
{
};

TEST_P(AsioStream, OutputMatchesTheOfflineEngineAndTheTunerReadsTheString)
{
    const StreamCase& sc = GetParam();
    constexpr int B = 256;
    WavAudio in;
    std::string err;
    ASSERT_TRUE(ReadWavFile(TestDataPath(kPlayed), &in, &err)) << err;
    // A right channel that differs from the left, so the two modes differ.
    in.channels.push_back(in.channels[0]);
    for (float& v : in.channels[1])
        v = std::trunc(v * 0.5f);
    const std::string dir = TestLogDirectory();
    const std::string inPath = dir + "/stream-in.wav", outPath = dir + "/stream-out.wav";
    ASSERT_TRUE(WriteWavFile(inPath, in, WavSampleFormat::Pcm16, &err)) << err;
    std::remove(outPath.c_str());

    SetText(HKEY_LOCAL_MACHINE, kEntry, "WavIn", WindowsPath(inPath));
    SetText(HKEY_LOCAL_MACHINE, kEntry, "WavOut", WindowsPath(outPath));
    SetFaults(sc.faults);
    SetText(HKEY_LOCAL_MACHINE, kEntry, "SampleType", sc.type);
    const long guards = DriverCounters().guardFaults;
    // At the pace of real audio, so that the reading stays long enough to be
    // seen between two looks; faster, the whole note can pass unseen.
    SetNumber("RealTime", 1);
    g_iRequestedBlockSize = B;
    g_iInputChannels = sc.bStereo ? 1 : 0;
    m_Engine.m_Tuner2.SelectString(1);

    ASSERT_EQ(Init(), 1);
    const long nBlocks = static_cast<long>(in.NumFrames() / B);
    ASSERT_EQ(ASIOStart(), ASE_OK);
    float measured = 0.0f;
    const bool bPlayed = WaitUntil([&] {
        if (m_Engine.m_Tuner2.m_fMeasuredFreq.load() > 0.0f)
            measured = m_Engine.m_Tuner2.m_fMeasuredFreq.load();
        return g_lAsioBlocks.load() >= nBlocks && measured > 0.0f;
    }, 60.0);
    EXPECT_EQ(ASIOStop(), ASE_OK);
    // Not a byte beside the driver's buffers was touched (beyond their end, the
    // driver's guard pages would have stopped the program).
    EXPECT_EQ(DriverCounters().guardFaults, guards);
    ASSERT_TRUE(bPlayed) << g_lAsioBlocks.load() << " blocks of " << nBlocks << " in 60 s, reading " << measured;
    // The played string is A2 (30 cents flat): the reading must be that note.
    EXPECT_LT(std::fabs(1200.0 * std::log2(measured / 110.0)), 50.0) << measured;

    WavAudio out;
    ASSERT_TRUE(ReadWavFile(outPath, &out, &err)) << err;
    ASSERT_EQ(out.NumChannels(), 2);
    ASSERT_GE(out.NumFrames(), static_cast<size_t>(nBlocks * B));

    OfflineTuner offline;
    OfflineTunerOptions options;
    options.iBlockSize = B;
    options.iString = 1;
    options.bStereo = sc.bStereo;
    ASSERT_TRUE(offline.Start(48000.0f, options, &err)) << err;
    long mismatches = 0;
    for (long k = 0; k < nBlocks; ++k)
    {
        const size_t at = static_cast<size_t>(k) * B;
        const int offset = static_cast<int>(k % 2) * B;
        offline.Feed(in.channels[0].data() + at, in.channels[1].data() + at);
        for (int c = 0; c < 2; ++c)
        {
            const float* expect = offline.Engine().m_Level.m_fOutput.Channel(c) + offset;
            for (int i = 0; i < B; ++i)
                mismatches += AsioSampleToFloat(AsioSampleFromFloat(expect[i])) != out.channels[c][at + i];
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(*std::max_element(out.channels[0].begin(), out.channels[0].end()), 1000.0f);
}

INSTANTIATE_TEST_SUITE_P(Types, AsioStream,
                         ::testing::Values(StreamCase{"Int16LSB", false, ""}, StreamCase{"Int24LSB", false, ""},
                                           StreamCase{"Int32LSB", false, ""}, StreamCase{"Float32LSB", false, ""},
                                           StreamCase{"Float64LSB", false, ""}, StreamCase{"Int32LSB16", false, ""},
                                           StreamCase{"Int32LSB18", false, ""}, StreamCase{"Int32LSB20", false, ""},
                                           StreamCase{"Int32LSB24", false, ""},
                                           // The channel modes and callbacks, on the commonest type.
                                           StreamCase{"Int32LSB", true, ""}, StreamCase{"Int24LSB", false, "timeInfo"}),
                         [](const ::testing::TestParamInfo<StreamCase>& p) {
                             return std::string(p.param.bStereo ? "Stereo" : "") +
                                    (*p.param.faults ? "BufferSwitch" : "") + p.param.type;
                         });

// ---------------------------------------------------------------------------
// Requests from the driver, as after a change in its own control panel: the
// stream restarts from the window's thread with the driver's new settings.

struct RequestCase
{
    const char* name;
    const char* trigger;   // the driver's switch: its request after that many blocks
    const char* setting;   // the new value's switch, if any
    DWORD value;
    int block;             // the stream after the restart
    float rate;
    const char* logLine;
};

LRESULT CALLBACK RequestWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == CM_ASIO_REQUEST)
    {
        HandleAsioRequests();
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

float Median(std::vector<float> v)
{
    if (v.empty())
        return 0.0f;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

class AsioRequests : public AsioHost, public ::testing::WithParamInterface<RequestCase>
{
protected:
    void SetUp() override
    {
        AsioHost::SetUp();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RequestWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TqAsioRequestWindow";
        RegisterClassA(&wc);
        g_hWnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(g_hWnd, nullptr);
        CAsio::SetWindow(g_hWnd, CM_ASIO_REQUEST);
        m_SavedPlatform = g_AudioPlatform;
        g_AudioPlatform = WindowsAudioPlatform();
        g_AudioPlatform.ShowError = [](const char*, const char*) {};
        m_iSavedWindows = g_iWindowsMajorVersion;
        g_iWindowsMajorVersion = 6;
        g_iAudioDriver = AUDIO_DRIVER_ASIO;
        g_iRequestedBlockSize = 1200;
    }
    void TearDown() override
    {
        AsioHost::TearDown();
        g_AudioPlatform = m_SavedPlatform;
        g_iWindowsMajorVersion = m_iSavedWindows;
        CAsio::SetWindow(nullptr, 0);
        DestroyWindow(g_hWnd);
        g_hWnd = nullptr;
    }
    // The tuner's readings in the settled part of the looped note (0.6 to 0.95 s
    // into it), while the window serves its messages, until done(). Earlier the
    // reading still moves by more than a cent, and when a look comes is up to the
    // machine.
    std::vector<float> Readings(const std::function<bool()>& done)
    {
        std::vector<float> seen;
        const bool bDone = WaitUntil([&] {
            PumpMessages();
            const float f = m_Engine.m_Tuner2.m_fMeasuredFreq.load();
            const double t = std::fmod(static_cast<double>(g_lAsioBlocks.load()) * g_iBlockSize / g_fSamplingFreq, 1.0);
            if (f > 0.0f && t >= 0.6 && t <= 0.95)
                seen.push_back(f);
            return done();
        }, 60.0);
        EXPECT_TRUE(bDone) << g_lAsioBlocks.load() << " blocks, " << seen.size() << " readings";
        return seen;
    }

    AudioPlatform m_SavedPlatform = {};
    int m_iSavedWindows = 0;
};

TEST_P(AsioRequests, RestartFromTheWindowWithTheDriversNewSettings)
{
    const RequestCase& rc = GetParam();
    SetText(HKEY_LOCAL_MACHINE, kEntry, "WavIn", WindowsPath(TestDataPath(kPlayed)));
    SetNumber("RealTime", 1);
    SetNumber(rc.trigger, 50);
    if (rc.setting)
        SetNumber(rc.setting, rc.value);
    m_Engine.m_Tuner2.SelectString(1);
    const DemoAsioCounters start = DriverCounters();

    m_Mark = LogLines().size();
    ASSERT_EQ(InitAudio(), 1);
    ASSERT_EQ(StartAudio(), 1);
    // Drivers parent their panels and messages on the window they are given.
    EXPECT_EQ(DriverCounters().lastInitWindow, static_cast<void*>(g_hWnd));
    std::vector<float> before = Readings([] { return g_lAsioBlocks.load() >= 10; });
    DWORD handles = 0, handlesAfter = 0;
    const DWORD mem = g_dwMemCount.load(), memBlocks = g_dwMemBlockCount.load();
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const std::vector<float> more = Readings([&] { return CountLogLines(rc.logLine) == 1; });
    before.insert(before.end(), more.begin(), more.end());

    // The new stream for as long as the first ran (50 blocks of 1200 at 48000 Hz),
    // so that both cover the same part of the note, and its readings.
    const std::vector<float> after =
        Readings([] { return g_lAsioBlocks.load() * g_iBlockSize >= 1.25 * g_fSamplingFreq; });
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    const std::vector<std::string> log = NewLog();
    EXPECT_EQ(g_iBlockSize, rc.block);
    EXPECT_EQ(g_fSamplingFreq, rc.rate);
    EXPECT_TRUE(Has(log, "CAsio::Init() g_fSamplingFreq = " + std::to_string(rc.rate)));
    EXPECT_TRUE(Has(log, "create_asio_buffers() block size = " + std::to_string(rc.block)));
    EXPECT_EQ(std::count(log.begin(), log.end(), "CAsio::Init()"), 2);  // once, and once again
    // The same note reads the same at the new rate and size.
    const float fBefore = Median(before), fAfter = Median(after);
    ASSERT_FALSE(before.empty() || after.empty());
    EXPECT_LT(std::fabs(1200.0 * std::log2(fAfter / fBefore)), 1.0) << fBefore << " Hz before, " << fAfter << " after";
    EXPECT_LT(std::fabs(1200.0 * std::log2(fAfter / 110.0)), 50.0) << fAfter;
    // Nothing was left behind, and nothing ran on the driver's thread that must not.
    EXPECT_EQ(handlesAfter, handles);
    if (rc.block == 1200 && rc.rate == 48000.0f)
    {
        EXPECT_EQ(g_dwMemCount.load(), mem);
        EXPECT_EQ(g_dwMemBlockCount.load(), memBlocks);
    }
    const DemoAsioCounters end = DriverCounters();
    EXPECT_EQ(end.requestsSent, start.requestsSent + 1);
    EXPECT_EQ(end.callsFromCallback, start.callsFromCallback);
}

INSTANTIATE_TEST_SUITE_P(
    Driver, AsioRequests,
    ::testing::Values(
        RequestCase{"Reset", "ResetAfterBlocks", nullptr, 0, 1200, 48000.0f,
                    "CAsio::TakeRequests() restarting for the driver's reset request"},
        RequestCase{"BufferSizeChange", "SizeChangeAfterBlocks", "NewSize", 512, 512, 48000.0f,
                    "CAsio::TakeRequests() restarting for the driver's buffer size change"},
        RequestCase{"RateChange", "RateChangeAfterBlocks", "NewRate", 44100, 1200, 44100.0f,
                    "CAsio::TakeRequests() restarting for the driver's rate change"}),
    [](const ::testing::TestParamInfo<RequestCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// The driver list, built afresh from entries added beside the demo driver's.

namespace {

const char kMissingClsid[] = "{0B5E1D7A-1111-4A2B-8C3D-000000000001}";
const char kBrokenClsid[] = "{0B5E1D7A-1111-4A2B-8C3D-000000000002}";
const char kLongName[] = "A driver description well over thirty-two characters";
const char kDeepClsid[] = "{0B5E1D7A-1111-4A2B-8C3D-000000000003}";
const char kExpandedClsid[] = "{0B5E1D7A-1111-4A2B-8C3D-000000000004}";

// The demo driver's DLL named by a path of over 200 characters.
std::string DeepPath()
{
    std::string dll = WindowsPath(TQ_DEMO_ASIO_DLL);
    const size_t slash = dll.rfind('\\');
    std::string path = dll.substr(0, slash);
    while (path.size() < 200)
        path += "\\.";
    return path + dll.substr(slash);
}

class AsioDriverListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Keys enumerate in name order: "aa-dup" comes before "ASIO4ALL v2".
        AddEntry("aa-dup", kAsioDriverName, GetText(HKEY_LOCAL_MACHINE, kEntry, "CLSID"));
        AddEntry("bb-missing", "Missing", kMissingClsid);
        AddEntry("cc-broken", "Broken", kBrokenClsid);
        AddEntry("dd-long", kLongName, GetText(HKEY_LOCAL_MACHINE, kEntry, "CLSID"));
        AddEntry("ee-deep", "Deep", kDeepClsid);
        AddEntry("ff-expanded", "Expanded", kExpandedClsid);
        SetText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kMissingClsid + "\\InprocServer32", nullptr,
                "C:\\no such folder\\missing.dll");
        // A file that exists but is no driver: it cannot be opened.
        SetText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kBrokenClsid + "\\InprocServer32", nullptr,
                WindowsPath(TestDataPath("clean-A2-30c.wav")));
        SetText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kDeepClsid + "\\InprocServer32", nullptr, DeepPath());
        // A path by an environment variable, as installers write them.
        const std::string dll = WindowsPath(TQ_DEMO_ASIO_DLL);
        SetEnvironmentVariableA("TQ_DEMO_DRIVER_FOLDER", dll.substr(0, dll.rfind('\\')).c_str());
        const std::string expandable = "%TQ_DEMO_DRIVER_FOLDER%" + dll.substr(dll.rfind('\\'));
        SetValue(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kExpandedClsid + "\\InprocServer32", nullptr,
                 REG_EXPAND_SZ, expandable.c_str(), static_cast<DWORD>(expandable.size() + 1));
    }
    void TearDown() override
    {
        for (const char* key : {"aa-dup", "bb-missing", "cc-broken", "dd-long", "ee-deep", "ff-expanded"})
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string("software\\asio\\") + key).c_str());
        for (const char* clsid : {kMissingClsid, kBrokenClsid, kDeepClsid, kExpandedClsid})
            SHDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + clsid).c_str());
    }
    static void AddEntry(const char* key, const char* description, const std::string& clsid)
    {
        const std::string path = std::string("software\\asio\\") + key;
        SetText(HKEY_LOCAL_MACHINE, path, "CLSID", clsid);
        SetText(HKEY_LOCAL_MACHINE, path, "Description", description);
    }
    static std::vector<std::string> Names(const CAsioDriverList& list, int size)
    {
        std::vector<std::string> names;
        for (int i = 0; i < list.NumDrivers(); ++i)
        {
            std::vector<char> buf(static_cast<size_t>(size));
            EXPECT_EQ(list.DriverName(i, buf.data(), size), 0);
            EXPECT_EQ(list.Entry(i)->number, i);
            names.push_back(buf.data());
        }
        return names;
    }
};

} // namespace

TEST_F(AsioDriverListTest, OrderDuplicatesLongNamesAndMissingServers)
{
    CAsioDriverList list;
    // Name order: "aa-dup" before "ASIO4ALL v2". The entry without a server file is
    // left out and the numbers close up. A server path of any length counts, and
    // one with variables counts as they expand.
    const std::string cut = std::string(kLongName, 28) + "...";
    EXPECT_EQ(Names(list, 32),
              (std::vector<std::string>{kAsioDriverName, kAsioDriverName, "Broken", cut, "Deep", "Expanded"}));
    EXPECT_EQ(Names(list, 128),
              (std::vector<std::string>{kAsioDriverName, kAsioDriverName, "Broken", kLongName, "Deep", "Expanded"}));
    ASSERT_EQ(list.NumDrivers(), 6);
    EXPECT_EQ(std::string(list.Entry(4)->szServerPath), DeepPath());
    EXPECT_EQ(std::string(list.Entry(5)->szServerPath), WindowsPath(TQ_DEMO_ASIO_DLL));
    EXPECT_EQ(list.DriverName(list.NumDrivers(), nullptr, 32), DRVERR_INVALID_PARAM);
    char buf[32];
    EXPECT_EQ(list.DriverName(list.NumDrivers(), buf, 32), DRVERR_DEVICE_NOT_FOUND);

    // The first of two equal descriptions wins; a long name matches only cut.
    ASSERT_TRUE(list.LoadDriver(kAsioDriverName));
    EXPECT_EQ(list.CurrentIndex(), 0);
    EXPECT_EQ(std::string(list.Entry(0)->szName), kAsioDriverName);
    void* p = nullptr;
    EXPECT_EQ(list.OpenDriver(0, &p), DRVERR_DEVICE_ALREADY_OPEN);
    EXPECT_EQ(list.OpenDriver(0, nullptr), DRVERR_INVALID_PARAM);
    EXPECT_FALSE(list.LoadDriver(kLongName));
    EXPECT_TRUE(list.LoadDriver(cut.c_str()));
    EXPECT_EQ(list.CurrentIndex(), 3);
    list.RemoveCurrentDriver();
    EXPECT_EQ(g_pAsioDriver, nullptr);
}

TEST_F(AsioDriverListTest, ADriverThatCannotBeOpenedBringsThePreviousOneBack)
{
    CAsioDriverList list;
    ASSERT_TRUE(list.LoadDriver(kAsioDriverName));
    IAsioDriver* const pFirst = g_pAsioDriver;
    ASSERT_NE(pFirst, nullptr);
    EXPECT_FALSE(list.LoadDriver("Broken"));
    EXPECT_EQ(list.CurrentIndex(), 0);
    EXPECT_NE(g_pAsioDriver, nullptr);
    EXPECT_EQ(g_pAsioDriver, list.Entry(0)->pDriver);
    list.RemoveCurrentDriver();
    EXPECT_FALSE(list.LoadDriver("Broken"));
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_EQ(g_pAsioDriver, nullptr);
}
