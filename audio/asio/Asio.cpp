#include "audio/asio/Asio.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "audio/AudioGlobals.h"
#include "audio/EngineBlock.h"
#include "audio/asio/AsioDriverList.h"
#include "audio/asio/AsioSampleTypes.h"
#include "audio/asio/AsioSamples.h"
#include "base/Log.h"
#include "dsp/SampleBuffer.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"

AsioStaticData g_AsioStaticData;
std::atomic<long> g_lAsioBlocks{0};

namespace {

ASIOCallbacks g_Callbacks;
CDspEngine* g_pEngine = nullptr;
CSampleBuffer g_Input;                    // the "Input" buffer the callback fills first
EngineBlock g_Blocks;                     // where each callback's block goes
long g_alTypes[4] = {};                   // the sample type of each of the four buffers

// The driver's requests reach the window's thread as a posted message; the stream
// is never restarted on the driver's own thread, which the restart stops.
HWND g_hWindow = nullptr;
UINT g_uRequestMessage = 0;
std::atomic<unsigned> g_uRequests{0};     // AsioRequest bits not yet taken
std::atomic<long> g_lSizeAsked{0};        // the size a buffer-size change names
// The rate of the stream set up by the last successful Init; 0 while there is none,
// so requests made while setting one up (or after release) restart nothing.
std::atomic<float> g_fStreamRate{0.0f};
bool g_bFollowDriverNext = false;         // the next Init takes the driver's rate and size
bool g_bFollowDriver = false;             // ... during that Init
// The step of the last Init that failed, in the driver's own words, for the player.
const char* g_szFailedStep = "";

void Request(unsigned bits)
{
    if (g_fStreamRate.load(std::memory_order_relaxed) == 0.0f)
        bits &= ~kAsioRestartRequests;
    if (bits == 0)
        return;
    // One message for a burst: only the first request of it posts.
    if (g_uRequests.fetch_or(bits, std::memory_order_relaxed) == 0 && g_hWindow &&
        !PostMessageA(g_hWindow, g_uRequestMessage, 0, 0))
        g_uRequests.store(0, std::memory_order_relaxed);
}

ASIOTime* __cdecl OnBufferSwitchTimeInfo(ASIOTime*, long doubleBufferIndex, ASIOBool)
{
    const int index = doubleBufferIndex ? 1 : 0;
    const ASIOBufferInfo* b = g_AsioStaticData.bufferInfos;
    const int right = g_iInputChannels.load(std::memory_order_relaxed) != 0 ? 1 : 0;
    auto channel = [b, index](int i) { return DriverChannel{g_alTypes[i], b[i].buffers[index], 0}; };
    RunEngineBlock(g_Blocks, g_pEngine, channel(0), channel(right), channel(2), channel(3));
    if (g_AsioStaticData.postOutput)
        ASIOOutputReady();
    g_lAsioBlocks.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
}

void __cdecl OnBufferSwitch(long index, ASIOBool directProcess)
{
    ASIOTime time;
    std::memset(&time, 0, sizeof time);
    if (ASIOGetSamplePosition(&time.timeInfo.samplePosition, &time.timeInfo.systemTime) == ASE_OK)
        time.timeInfo.flags = kSystemTimeValid | kSamplePositionValid;
    OnBufferSwitchTimeInfo(&time, index, directProcess);
}

// Also called by some drivers from within setSampleRate: only a rate other than
// the running stream's is a change.
void __cdecl OnSampleRateChanged(ASIOSampleRate rate)
{
    const float fRunning = g_fStreamRate.load(std::memory_order_relaxed);
    if (fRunning != 0.0f && static_cast<float>(rate) != fRunning)
        Request(kAsioRequestRate);
}

long __cdecl OnAsioMessage(long selector, long value, void*, double*)
{
    const unsigned bits = AsioMessageRequest(selector);
    if (bits & kAsioRequestBufferSize)
        g_lSizeAsked.store(value, std::memory_order_relaxed);
    Request(bits);
    return AsioMessageAnswer(selector, value);
}

void CopyText(char* dst, size_t size, const char* src)
{
    std::strncpy(dst, src, size - 1);
    dst[size - 1] = '\0';
}

void PrintFormatted(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));
void PrintFormatted(const char* szFormat, ...)
{
    char line[512];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(line, sizeof line, szFormat, args);
    va_end(args);
    g_Log.Print(line);
}

} // namespace

// ---------------------------------------------------------------------------
// The call wrappers.

ASIOError ASIOInit(ASIODriverInfo* pInfo)
{
    pInfo->asioVersion = 2;
    if (!g_pAsioDriver)
    {
        CopyText(pInfo->name, sizeof pInfo->name, "No ASIO Driver");
        pInfo->driverVersion = 0;
        return ASE_NotPresent;
    }
    std::memset(pInfo->errorMessage, 0, sizeof pInfo->errorMessage);
    if (!g_pAsioDriver->init(pInfo->sysRef))
    {
        g_pAsioDriver->getErrorMessage(pInfo->errorMessage);
        pInfo->errorMessage[sizeof pInfo->errorMessage - 1] = '\0';
        g_pAsioDriver = nullptr;
        return ASE_NotPresent;
    }
    std::memset(pInfo->name, 0, sizeof pInfo->name);
    g_pAsioDriver->getDriverName(pInfo->name);
    pInfo->name[sizeof pInfo->name - 1] = '\0';
    pInfo->driverVersion = g_pAsioDriver->getDriverVersion();
    CopyText(pInfo->errorMessage, sizeof pInfo->errorMessage, "No ASIO Driver Error");
    return ASE_OK;
}

ASIOError ASIOExit()
{
    removeCurrentAsioDriver();
    return ASE_OK;
}

ASIOError ASIOStart()
{
    return g_pAsioDriver ? g_pAsioDriver->start() : ASE_NotPresent;
}

ASIOError ASIOStop()
{
    return g_pAsioDriver ? g_pAsioDriver->stop() : ASE_NotPresent;
}

ASIOError ASIOGetChannels(long* pInputs, long* pOutputs)
{
    if (!g_pAsioDriver)
    {
        *pInputs = *pOutputs = 0;
        return ASE_NotPresent;
    }
    return g_pAsioDriver->getChannels(pInputs, pOutputs);
}

ASIOError ASIOGetLatencies(long* pInput, long* pOutput)
{
    if (!g_pAsioDriver)
    {
        *pInput = *pOutput = 0;
        return ASE_NotPresent;
    }
    return g_pAsioDriver->getLatencies(pInput, pOutput);
}

ASIOError ASIOGetBufferSize(long* pMin, long* pMax, long* pPreferred, long* pGranularity)
{
    if (!g_pAsioDriver)
    {
        *pMin = *pMax = *pPreferred = *pGranularity = 0;
        return ASE_NotPresent;
    }
    return g_pAsioDriver->getBufferSize(pMin, pMax, pPreferred, pGranularity);
}

ASIOError ASIOGetSampleRate(ASIOSampleRate* pRate)
{
    return g_pAsioDriver ? g_pAsioDriver->getSampleRate(pRate) : ASE_NotPresent;
}

ASIOError ASIOSetSampleRate(ASIOSampleRate rate)
{
    return g_pAsioDriver ? g_pAsioDriver->setSampleRate(rate) : ASE_NotPresent;
}

ASIOError ASIOGetSamplePosition(ASIOSamples* pPosition, ASIOTimeStamp* pTime)
{
    return g_pAsioDriver ? g_pAsioDriver->getSamplePosition(pPosition, pTime) : ASE_NotPresent;
}

ASIOError ASIOGetChannelInfo(ASIOChannelInfo* pInfo)
{
    if (!g_pAsioDriver)
    {
        pInfo->channelGroup = -1;
        pInfo->type = 0;
        CopyText(pInfo->name, sizeof pInfo->name, "None");
        return ASE_NotPresent;
    }
    const ASIOError e = g_pAsioDriver->getChannelInfo(pInfo);
    pInfo->name[sizeof pInfo->name - 1] = '\0';
    return e;
}

ASIOError ASIOCreateBuffers(ASIOBufferInfo* pInfos, long count, long size, ASIOCallbacks* pCallbacks)
{
    if (!g_pAsioDriver)
    {
        for (long i = 0; i < count; ++i)
            pInfos[i].buffers[0] = pInfos[i].buffers[1] = nullptr;
        return ASE_NotPresent;
    }
    return g_pAsioDriver->createBuffers(pInfos, count, size, pCallbacks);
}

ASIOError ASIODisposeBuffers()
{
    return g_pAsioDriver ? g_pAsioDriver->disposeBuffers() : ASE_NotPresent;
}

ASIOError ASIOOutputReady()
{
    return g_pAsioDriver ? g_pAsioDriver->outputReady() : ASE_NotPresent;
}

// ---------------------------------------------------------------------------

void CAsio::Attach(CDspEngine* pEngine)
{
    g_pEngine = pEngine;
}

int CAsio::bIsAsioDriverPresent()
{
    if (!loadAsioDriver(kAsioDriverName))
    {
        g_Log.Print("CAsio::bIsAsioDriverPresent() loadAsioDriver() FAILED");
        return 0;
    }
    removeCurrentAsioDriver();
    return 1;
}

int CAsio::InitAsioStaticData(AsioStaticData* d)
{
    // After the driver asked for a restart, its own (new) rate is the one wanted.
    ASIOSampleRate driverRate = 0.0;
    if (g_bFollowDriver && ASIOGetSampleRate(&driverRate) == ASE_OK && AsioRateUsable(driverRate))
        g_fRequestedSamplingFreq = static_cast<float>(driverRate);
    if (ASIOSetSampleRate(static_cast<double>(g_fRequestedSamplingFreq)) == ASE_OK)
    {
        g_fSamplingFreq = g_fRequestedSamplingFreq;
        g_Log.Print("CAsio::InitAsioStaticData() using sampleRate =", g_fSamplingFreq);
    }
    else
    {
        g_Log.Print("CAsio::InitAsioStaticData() ASIOSetSampleRate() refused", static_cast<int>(g_fRequestedSamplingFreq));
    }
    if (ASIOGetChannels(&d->inputChannels, &d->outputChannels) != ASE_OK)
    {
        g_Log.Print("CAsio::InitAsioStaticData() ASIOGetChannels() FAILED");
        g_szFailedStep = "getChannels";
        return -1;
    }
    if (ASIOGetBufferSize(&d->minSize, &d->maxSize, &d->preferredSize, &d->granularity) != ASE_OK)
    {
        g_Log.Print("CAsio::InitAsioStaticData() ASIOGetBufferSize() FAILED");
        g_szFailedStep = "getBufferSize";
        return -2;
    }
    g_Log.Print("max inputChannels  =", static_cast<int>(d->inputChannels));
    g_Log.Print("max outputChannels =", static_cast<int>(d->outputChannels));
    g_Log.Print("minSize =", static_cast<int>(d->minSize));
    g_Log.Print("maxSize =", static_cast<int>(d->maxSize));
    g_Log.Print("preferredSize =", static_cast<int>(d->preferredSize));
    g_Log.Print("granularity   =", static_cast<int>(d->granularity));
    g_Log.Print("Asio version   =", static_cast<int>(d->driverInfo.asioVersion));
    g_Log.Print("Driver version =", static_cast<int>(d->driverInfo.driverVersion));
    g_Log.Print("Driver name    =", d->driverInfo.name);

    if (ASIOGetSampleRate(&d->sampleRate) != ASE_OK)
    {
        g_Log.Print("CAsio::InitAsioStaticData() ASIOGetSampleRate() FAILED");
        g_szFailedStep = "getSampleRate";
        return -3;
    }
    if (!AsioRateUsable(d->sampleRate))
    {
        const int iDefault = static_cast<int>(kAsioDefaultRate);
        g_Log.Print("CAsio::InitAsioStaticData() Setting default sample rate = ", iDefault);
        if (ASIOSetSampleRate(kAsioDefaultRate) != ASE_OK)
        {
            g_Log.Print("CAsio::InitAsioStaticData() ASIOSetSampleRate() 2 FAILED ", iDefault);
            g_szFailedStep = "setSampleRate";
            return -5;
        }
        if (ASIOGetSampleRate(&d->sampleRate) != ASE_OK)
        {
            g_Log.Print("CAsio::InitAsioStaticData() ASIOGetSampleRate() FAILED ", iDefault);
            g_szFailedStep = "getSampleRate";
            return -6;
        }
        g_fSamplingFreq = static_cast<float>(d->sampleRate);
        g_Log.Print("CAsio::InitAsioStaticData() using sampleRate =", iDefault);
    }
    else if (static_cast<float>(d->sampleRate) != g_fSamplingFreq)
    {
        // A driver that refused the requested rate (or runs at another one anyway)
        // streams at its own rate: the engine must use that, or every reading is
        // off by the ratio of the two.
        g_fSamplingFreq = static_cast<float>(d->sampleRate);
        g_Log.Print("CAsio::InitAsioStaticData() using sampleRate =", g_fSamplingFreq);
    }

    d->postOutput = ASIOOutputReady() == ASE_OK ? 1 : 0;
    std::printf("ASIOOutputReady(); - %s\n", d->postOutput ? "Supported" : "Not supported");
    std::fflush(stdout);
    return 0;
}

long create_asio_buffers(AsioStaticData* d)
{
    g_Log.Print("create_asio_buffers()");
    d->inputBuffers = 2;
    d->outputBuffers = 2;
    for (int i = 0; i < 4; ++i)
    {
        d->bufferInfos[i].isInput = i < 2 ? ASIOTrue : ASIOFalse;
        d->bufferInfos[i].channelNum = i % 2;
        d->bufferInfos[i].buffers[0] = d->bufferInfos[i].buffers[1] = nullptr;
    }
    // A size the driver does not allow would fail; ask for the nearest it does.
    const long lDriverPreferred = d->preferredSize;
    long lWanted = g_iRequestedBlockSize;
    if (g_bFollowDriver)
    {
        const long lAsked = g_lSizeAsked.exchange(0, std::memory_order_relaxed);
        lWanted = lAsked > 0 ? lAsked : lDriverPreferred;
    }
    long lSize = ChooseAsioBlockSize(lWanted, d->minSize, d->maxSize, lDriverPreferred, d->granularity);
    g_Log.Print("create_asio_buffers() block size =", static_cast<int>(lSize));
    d->preferredSize = lSize;
    long result = ASIOCreateBuffers(d->bufferInfos, 4, lSize, &g_Callbacks);
    if (result != ASE_OK && lSize != lDriverPreferred && lDriverPreferred > 0)
    {
        PrintFormatted("create_asio_buffers() ASIOCreateBuffers() refused %d frames; using the driver's preferred %d",
                       static_cast<int>(lSize), static_cast<int>(lDriverPreferred));
        lSize = d->preferredSize = lDriverPreferred;
        result = ASIOCreateBuffers(d->bufferInfos, 4, lSize, &g_Callbacks);
    }
    if (result != ASE_OK)
    {
        g_Log.Print("create_asio_buffers() ASIOCreateBuffers() FAILED");
        g_szFailedStep = "createBuffers";
        return result;
    }
    // The engine, the log and the settings follow the size in use.
    g_iRequestedBlockSize = static_cast<int>(lSize);
    for (int i = 0; i < 4 && result == ASE_OK; ++i)
    {
        d->channelInfos[i].channel = d->bufferInfos[i].channelNum;
        d->channelInfos[i].isInput = d->bufferInfos[i].isInput;
        result = ASIOGetChannelInfo(&d->channelInfos[i]);
        if (result != ASE_OK)
        {
            g_Log.Print("create_asio_buffers() ASIOGetChannelInfo() FAILED");
            g_szFailedStep = "getChannelInfo";
        }
    }
    if (result == ASE_OK)
    {
        result = ASIOGetLatencies(&d->inputLatency, &d->outputLatency);
        if (result != ASE_OK)
            g_szFailedStep = "getLatencies";
        if (result == ASE_OK)
            PrintFormatted("inputLatency %d outputLatency = %d", static_cast<int>(d->inputLatency),
                           static_cast<int>(d->outputLatency));
    }
    g_Log.Print("Num input buffers =", 2);
    g_Log.Print("Num ouput buffers =", 2);
    for (int i = 0; i < 4; ++i)
    {
        const ASIOChannelInfo& c = d->channelInfos[i];
        PrintFormatted("i = %d  channel = %d  format = %d  isInput = %d  name = %s", i, static_cast<int>(c.channel),
                       IsAsioSampleType(c.type) ? static_cast<int>(c.type) : -1, static_cast<int>(c.isInput),
                       c.name);
    }
    // A type the host cannot convert is refused before any buffer is touched.
    for (int i = 0; i < 4 && result == ASE_OK; ++i)
    {
        const long type = d->channelInfos[i].type;
        g_alTypes[i] = type;
        if (AsioSampleBytes(type) == 0)
        {
            const char* szName = AsioSampleTypeName(type);
            PrintFormatted("create_asio_buffers() sample type %s (%d) is not supported", szName ? szName : "unknown",
                           static_cast<int>(type));
            g_szFailedStep = "sample type (not supported)";
            result = ASE_InvalidMode;
        }
    }
    return result;
}

int CAsio::Init()
{
    g_bFollowDriver = g_bFollowDriverNext;
    g_bFollowDriverNext = false;
    const int iResult = InitStream();
    g_bFollowDriver = false;
    if (iResult)
        g_fStreamRate.store(g_fSamplingFreq, std::memory_order_relaxed);
    return iResult;
}

int CAsio::InitStream()
{
    g_Log.Print("\nCAsio::Init()");
    g_fStreamRate.store(0.0f, std::memory_order_relaxed);
    g_szFailedStep = "";
    if (!loadAsioDriver(kAsioDriverName))
    {
        g_Log.Print("CAsio::Init() loadAsioDriver() FAILED");
        g_szFailedStep = "loading the driver";
        return 0;
    }
    AsioStaticData* d = &g_AsioStaticData;
    d->driverInfo.sysRef = g_hWindow;
    if (ASIOInit(&d->driverInfo) != ASE_OK)
    {
        g_Log.Print("CAsio::Init() ASIOInit() FAILED");
        g_szFailedStep = "init";
        return 0;
    }
    if (CAsio::InitAsioStaticData(d) != 0)
    {
        g_Log.Print("CAsio::Init() InitAsioStaticData() FAILED");
        return 0;
    }
    g_Callbacks.bufferSwitch = OnBufferSwitch;
    g_Callbacks.sampleRateDidChange = OnSampleRateChanged;
    g_Callbacks.asioMessage = OnAsioMessage;
    g_Callbacks.bufferSwitchTimeInfo = OnBufferSwitchTimeInfo;
    if (create_asio_buffers(d) != 0)
    {
        g_Log.Print("CAsio::Init() create_asio_buffers() FAILED");
        return 0;
    }

    g_iBlockSize = g_iRequestedBlockSize;
    g_iBytesPerBlock = g_iBlockSize;
    g_iBufMonoLen = 2 * g_iBlockSize;
    LfoBufLen = static_cast<int>(2.0f * g_fSamplingFreq);
    g_fPrevSamplingFreq = g_fSamplingFreq;
    g_iMaxSamplingFreq = static_cast<int>(kAsioMaxRate);
    g_lAsioBlocks.store(0, std::memory_order_relaxed);
    g_Log.Print("CAsio::Init() g_fSamplingFreq =", g_fSamplingFreq);

    // A restart makes the buffer again, so free the previous stream's first.
    g_Input.Release("Input", "Input");
    const int iInput = g_Input.Init("Input", "Input", g_iBufMonoLen, g_iBlockSize);
    StartEngineBlocks(g_Blocks, &g_Input, g_iBlockSize);

    if (g_pEngine)
        g_pEngine->Release();
    if (!iInput || !g_pEngine || !g_pEngine->InitDSP())
    {
        g_Log.Print("CAsio::Init() InitDSP() FAILED");
        g_szFailedStep = "preparing the tuner (out of memory)";
        return 0;
    }
    g_Log.Print("");
    return 1;
}

const char* CAsio::FailedStep()
{
    return g_szFailedStep;
}

void CAsio::Release()
{
    g_Log.Print("CAsio::Release()");
    g_fStreamRate.store(0.0f, std::memory_order_relaxed);
    ASIOStop();
    ASIODisposeBuffers();
    ASIOExit();
    removeCurrentAsioDriver();
}

void CAsio::SetWindow(void* hWnd, unsigned int uMessage)
{
    g_hWindow = static_cast<HWND>(hWnd);
    g_uRequestMessage = uMessage;
}

int CAsio::TakeRequests()
{
    const unsigned bits = g_uRequests.exchange(0, std::memory_order_relaxed);
    if (bits & kAsioRequestResync)
        g_Log.Print("CAsio::TakeRequests() the driver asks for a resync");
    if (bits & kAsioRequestLatencies)
    {
        long lIn = 0, lOut = 0;
        if (ASIOGetLatencies(&lIn, &lOut) == ASE_OK)
            PrintFormatted("CAsio::TakeRequests() latencies changed: inputLatency %d outputLatency = %d",
                           static_cast<int>(lIn), static_cast<int>(lOut));
        else
            g_Log.Print("CAsio::TakeRequests() latencies changed");
    }
    if (!(bits & kAsioRestartRequests) || g_fStreamRate.load(std::memory_order_relaxed) == 0.0f)
        return 0;
    g_Log.Print("CAsio::TakeRequests() restarting for the driver's",
                (bits & kAsioRequestRate) ? "rate change" : (bits & kAsioRequestBufferSize) ? "buffer size change" : "reset request");
    g_bFollowDriverNext = true;
    return 1;
}
