#include "audio/asio/Asio.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "audio/AudioGlobals.h"
#include "audio/asio/AsioDriverList.h"
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
CSampleBuffer* g_pCurrent = nullptr;      // then whatever Process returned last
int g_iBlock = 0;                         // B, frames per callback
int g_iOffset = 0;                        // E, 0 or B

ASIOTime* __cdecl OnBufferSwitchTimeInfo(ASIOTime*, long doubleBufferIndex, ASIOBool)
{
    const int index = doubleBufferIndex ? 1 : 0;
    const ASIOBufferInfo* b = g_AsioStaticData.bufferInfos;
    const int B = g_iBlock;
    const int E = g_iOffset;
    const auto* pLeft = static_cast<const std::int32_t*>(b[0].buffers[index]);
    const auto* pRight = g_iInputChannels.load(std::memory_order_relaxed) != 0
                             ? static_cast<const std::int32_t*>(b[1].buffers[index])
                             : pLeft;
    AsioSamplesToFloats(pLeft, g_pCurrent->Channel(0) + E, B);
    AsioSamplesToFloats(pRight, g_pCurrent->Channel(1) + E, B);
    if (g_pEngine)
        g_pCurrent = g_pEngine->Process(g_pCurrent, E);
    AsioFloatsToSamples(g_pCurrent->Channel(0) + E, static_cast<std::int32_t*>(b[2].buffers[index]), B);
    AsioFloatsToSamples(g_pCurrent->Channel(1) + E, static_cast<std::int32_t*>(b[3].buffers[index]), B);
    if (g_AsioStaticData.postOutput)
        ASIOOutputReady();
    g_iOffset = E + B >= g_iBufMonoLen ? 0 : E + B;
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

void __cdecl OnSampleRateChanged(ASIOSampleRate) {}

long __cdecl OnAsioMessage(long selector, long value, void*, double*)
{
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
    if (ASIOSetSampleRate(static_cast<double>(g_fRequestedSamplingFreq)) == ASE_OK)
    {
        g_fSamplingFreq = g_fRequestedSamplingFreq;
        g_Log.Print("CAsio::InitAsioStaticData() using sampleRate =", g_fSamplingFreq);
    }
    if (ASIOGetChannels(&d->inputChannels, &d->outputChannels) != ASE_OK)
    {
        g_Log.Print("CAsio::InitAsioStaticData() ASIOGetChannels() FAILED");
        return -1;
    }
    if (ASIOGetBufferSize(&d->minSize, &d->maxSize, &d->preferredSize, &d->granularity) != ASE_OK)
    {
        g_Log.Print("CAsio::InitAsioStaticData() ASIOGetBufferSize() FAILED");
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
        return -3;
    }
    if (!AsioRateUsable(d->sampleRate))
    {
        const int iDefault = static_cast<int>(kAsioDefaultRate);
        g_Log.Print("CAsio::InitAsioStaticData() Setting default sample rate = ", iDefault);
        if (ASIOSetSampleRate(kAsioDefaultRate) != ASE_OK)
        {
            g_Log.Print("CAsio::InitAsioStaticData() ASIOSetSampleRate() 2 FAILED ", iDefault);
            return -5;
        }
        if (ASIOGetSampleRate(&d->sampleRate) != ASE_OK)
        {
            g_Log.Print("CAsio::InitAsioStaticData() ASIOGetSampleRate() FAILED ", iDefault);
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
    d->preferredSize = g_iRequestedBlockSize;
    long result = ASIOCreateBuffers(d->bufferInfos, 4, g_iRequestedBlockSize, &g_Callbacks);
    if (result != ASE_OK)
    {
        g_Log.Print("create_asio_buffers() ASIOCreateBuffers() FAILED");
        return result;
    }
    for (int i = 0; i < 4 && result == ASE_OK; ++i)
    {
        d->channelInfos[i].channel = d->bufferInfos[i].channelNum;
        d->channelInfos[i].isInput = d->bufferInfos[i].isInput;
        result = ASIOGetChannelInfo(&d->channelInfos[i]);
        if (result != ASE_OK)
            g_Log.Print("create_asio_buffers() ASIOGetChannelInfo() FAILED");
    }
    if (result == ASE_OK)
    {
        result = ASIOGetLatencies(&d->inputLatency, &d->outputLatency);
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
    return result;
}

int CAsio::Init()
{
    g_Log.Print("\nCAsio::Init()");
    if (!loadAsioDriver(kAsioDriverName))
    {
        g_Log.Print("CAsio::Init() loadAsioDriver() FAILED");
        return 0;
    }
    AsioStaticData* d = &g_AsioStaticData;
    d->driverInfo.sysRef = nullptr;
    if (ASIOInit(&d->driverInfo) != ASE_OK)
    {
        g_Log.Print("CAsio::Init() ASIOInit() FAILED");
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

    g_iBlock = g_iRequestedBlockSize;
    g_iBlockSize = g_iBlock;
    g_iBytesPerBlock = g_iBlock;
    g_iBufMonoLen = 2 * g_iBlock;
    LfoBufLen = static_cast<int>(2.0f * g_fSamplingFreq);
    g_iOffset = 0;
    g_fPrevSamplingFreq = g_fSamplingFreq;
    g_iMaxSamplingFreq = static_cast<int>(kAsioMaxRate);
    g_lAsioBlocks.store(0, std::memory_order_relaxed);
    g_Log.Print("CAsio::Init() g_fSamplingFreq =", g_fSamplingFreq);

    // A restart makes the buffer again, so free the previous stream's first.
    g_Input.Release("Input", "Input");
    const int iInput = g_Input.Init("Input", "Input", g_iBufMonoLen, g_iBlock);
    g_pCurrent = &g_Input;

    if (g_pEngine)
        g_pEngine->Release();
    if (!iInput || !g_pEngine || !g_pEngine->InitDSP())
    {
        g_Log.Print("CAsio::Init() InitDSP() FAILED");
        return 0;
    }
    g_Log.Print("");
    return 1;
}

void CAsio::Release()
{
    g_Log.Print("CAsio::Release()");
    ASIOStop();
    ASIODisposeBuffers();
    ASIOExit();
    removeCurrentAsioDriver();
}
