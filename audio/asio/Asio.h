#pragma once
// The ASIO host: loads the driver registered as "ASIO4ALL v2", negotiates the rate,
// creates two input and two output buffers and, in the driver's buffer-switch
// callback, runs the engine on each block. Windows only.
#include <atomic>

#include "audio/AudioGlobals.h"
#include "audio/asio/AsioInterface.h"

class CDspEngine;

constexpr int kAsioMaxChannels = 32;

// What the host knows about the loaded driver.
struct AsioStaticData
{
    ASIODriverInfo driverInfo;
    long inputChannels;
    long outputChannels;
    long minSize;
    long maxSize;
    long preferredSize;  // overwritten with the block size requested
    long granularity;
    ASIOSampleRate sampleRate;
    unsigned char postOutput;  // 1 when the driver supports outputReady
    long inputLatency;
    long outputLatency;
    long inputBuffers;   // always 2
    long outputBuffers;  // always 2
    ASIOBufferInfo bufferInfos[2 * kAsioMaxChannels];    // 0, 1 inputs; 2, 3 outputs
    ASIOChannelInfo channelInfos[2 * kAsioMaxChannels];
};

extern AsioStaticData g_AsioStaticData;
// Blocks processed by the callback since the last Init (a diagnostic count).
extern std::atomic<long> g_lAsioBlocks;

class CAsio
{
public:
    // The engine the callback runs; set once before Init.
    static void Attach(CDspEngine* pEngine);

    // 1: driver loaded, buffers created, engine initialised. 0: failure, logged;
    // what the earlier steps did stays until Release.
    static int Init();
    // The step the last Init failed at, as the driver names it ("init",
    // "createBuffers", ...); "" after a successful one.
    static const char* FailedStep();
    // Stop, dispose of the buffers, exit, unload; harmless with no driver.
    static void Release();
    // 1 when the driver can be loaded (it is unloaded again at once).
    static int bIsAsioDriverPresent();
    // 0, or -1, -2, -3, -5, -6 for the step that failed.
    static int InitAsioStaticData(AsioStaticData* pData);

    // The main window: handed to the driver's init (drivers parent their panels and
    // messages on it), and sent uMessage when the driver asks for something.
    static void SetWindow(void* hWnd, unsigned int uMessage);
    // On the window's thread, after uMessage: logs what the driver asked since the
    // last call. 1 when the stream it runs must restart (a reset, buffer-size or rate
    // change); the next Init then takes the driver's own rate and block size.
    static int TakeRequests();

private:
    static int InitStream();
};

// 0 or the failing call's ASIO error.
long create_asio_buffers(AsioStaticData* pData);

// Thin wrappers over the current driver's methods; ASE_NotPresent without one.
ASIOError ASIOInit(ASIODriverInfo* pInfo);
ASIOError ASIOExit();
ASIOError ASIOStart();
ASIOError ASIOStop();
ASIOError ASIOGetChannels(long* pInputs, long* pOutputs);
ASIOError ASIOGetLatencies(long* pInput, long* pOutput);
ASIOError ASIOGetBufferSize(long* pMin, long* pMax, long* pPreferred, long* pGranularity);
ASIOError ASIOGetSampleRate(ASIOSampleRate* pRate);
ASIOError ASIOSetSampleRate(ASIOSampleRate rate);
ASIOError ASIOGetSamplePosition(ASIOSamples* pPosition, ASIOTimeStamp* pTime);
ASIOError ASIOGetChannelInfo(ASIOChannelInfo* pInfo);
ASIOError ASIOCreateBuffers(ASIOBufferInfo* pInfos, long count, long size, ASIOCallbacks* pCallbacks);
ASIOError ASIODisposeBuffers();
ASIOError ASIOOutputReady();
