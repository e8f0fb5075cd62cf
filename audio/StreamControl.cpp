#include "audio/StreamControl.h"

#include <cstring>
#include <string>

#include "audio/AudioGlobals.h"
#include "base/Log.h"
#include "engine/DspEngine.h"

int g_aiSamplingFreqs[4][20];
int g_aiNumSamplingFreqs[4];
AudioDriverEntry g_AudioDriverList[kMaxAudioDrivers];
int g_iNumAudioDrivers = 0;
bool g_bStreamStopped = false;
void* g_hAudioEvents[kNumAudioEvents] = {};
void* g_hCaptureThread = nullptr;
const char kAsioDownloadAddress[] = "http://www.asio4all.org/";
const char kDriverFailedCaption[] = "Audio failed to start";
const char kWasapiDriverName[] = "Windows Audio";
const char kWasapiLostMessage[] =
    "Windows audio stopped: the input or output device was removed or changed.\n\nThe tuner keeps running without "
    "sound. To start again, click Options on the panel, then OK.";

namespace {

constexpr int kKsFreqs[] = {12000, 24000, 36000, 48000, 60000, 72000, 84000, 96000, 192000};
constexpr int kAsioFreqs[] = {12000, 24000, 48000, 96000, 192000};
constexpr int kWasapiFreqs[] = {44100, 48000, 88200, 96000, 176400, 192000};

template <int N>
void FillRow(int iRow, const int (&aiFreqs)[N])
{
    for (int i = 0; i < N; ++i)
        g_aiSamplingFreqs[iRow][i] = aiFreqs[i];
    g_aiNumSamplingFreqs[iRow] = N;
}

// No stream runs: the read-out shows no reading rather than the last one (or the
// estimator's starting value), which would look like a sounding string.
void ClearReading()
{
    if (g_pDspEngine)
        g_pDspEngine->m_Tuner2.ClearReading();
}

const char* StepOrUnknown(const char* szStep)
{
    return szStep && *szStep ? szStep : "unknown";
}

const char* FailedStep(int iDriver)
{
    const AudioBackend& b = AudioBackendOf(iDriver);
    return StepOrUnknown(b.FailedStep ? b.FailedStep() : nullptr);
}

// A back end without the operation does nothing, and fails where that is a failure.
bool Call(int (*pOp)())
{
    return pOp && pOp() != 0;
}

bool Present(int iDriver)
{
    const AudioBackend& b = AudioBackendOf(iDriver);
    return b.Present ? b.Present() != 0 : b.Init != nullptr;
}

// A thread that cannot be made has been reported by the platform already.
void StartCaptureThread()
{
    if (!Call(AudioBackendOf(AUDIO_DRIVER_KS).Init))
        g_Log.Print("InitAudio() CreateCaptureThread() FAILED");
}

void ClearEntry(AudioDriverEntry& entry, int iType, const char* szName)
{
    std::memset(&entry, 0, sizeof(entry));
    entry.iType = iType;
    std::strncpy(entry.szName, szName, sizeof(entry.szName) - 1);
}

} // namespace

std::string DriverFailedMessage(const char* szDriver, const char* szStep)
{
    return std::string("The audio driver \"") + szDriver + "\" is installed but failed to start (step: " + szStep +
           ").\n\nThe tuner keeps running without sound. To choose another driver, sampling frequency or block "
           "size, click Options on the panel.";
}

std::string NoDriverStartedMessage(const char* szAsioStep, const char* szWasapiStep)
{
    const std::string sAsio = szAsioStep ? std::string("The ASIO driver \"") + kAsioDriverName +
                                               "\" is installed but failed to start (step: " + szAsioStep + ")"
                                         : std::string("No ASIO driver is installed");
    return sAsio + ", and Windows audio could not be opened (step: " + szWasapiStep +
           ").\n\nThe tuner keeps running without sound. Connect an input and an output, or install an ASIO driver "
           "(one is at " + kAsioDownloadAddress + "), then click Options on the panel.";
}

void TellDriverFailed(const char* szDriver, const char* szStep)
{
    ClearReading();
    g_AudioPlatform.ShowError(DriverFailedMessage(szDriver, szStep).c_str(), kDriverFailedCaption);
}

void InitSamplingFreqTables()
{
    FillRow(AUDIO_DRIVER_KS, kKsFreqs);
    FillRow(AUDIO_DRIVER_ASIO, kAsioFreqs);
    FillRow(AUDIO_DRIVER_WASAPI, kWasapiFreqs);
}

const AudioBackend& AudioBackendOf(int iDriver)
{
    static const AudioBackend kNone{};
    if (iDriver < 0 || iDriver >= 4 || iDriver == AUDIO_DRIVER_NONE)
        return kNone;
    return g_AudioPlatform.aBackends[iDriver];
}

void EnumAudioDrivers()
{
    g_iNumAudioDrivers = 0;
    const bool bAsio = Present(AUDIO_DRIVER_ASIO);
    const AudioBackend& ks = AudioBackendOf(AUDIO_DRIVER_KS);
    if (g_iWindowsMajorVersion < 6)
    {
        // Devices that cannot be listed end the program only when there is no ASIO
        // driver to run on; with one, kernel streaming is simply not offered.
        ClearEntry(g_AudioDriverList[0], AUDIO_DRIVER_KS, "WDM KS");
        if ((ks.ListDevices && ks.ListDevices(&g_AudioDriverList[0], !bAsio)) || !bAsio)
            g_iNumAudioDrivers = 1;
        else
            g_Log.Print("EnumAudioDrivers() kernel streaming not offered: its devices could not be listed; using ASIO");
    }
    if (bAsio)
    {
        ClearEntry(g_AudioDriverList[g_iNumAudioDrivers], AUDIO_DRIVER_ASIO, "Asio4All v2");
        ++g_iNumAudioDrivers;
    }
    // Windows audio is offered from Windows 6 on, with the default devices first
    // and whichever others can be listed after them.
    const AudioBackend& wasapi = AudioBackendOf(AUDIO_DRIVER_WASAPI);
    if (g_iWindowsMajorVersion >= 6 && Present(AUDIO_DRIVER_WASAPI))
    {
        AudioDriverEntry& entry = g_AudioDriverList[g_iNumAudioDrivers++];
        ClearEntry(entry, AUDIO_DRIVER_WASAPI, kWasapiDriverName);
        if (wasapi.ListDevices && !wasapi.ListDevices(&entry, false))
            g_Log.Print("EnumAudioDrivers() Windows audio's devices could not be listed; the defaults are offered");
    }
}

AudioDecision DecideAudioDriver(int iWindowsMajor, bool bAsioPresent, int iAudioDriver)
{
    if (iWindowsMajor < 6)
    {
        if (!bAsioPresent)
            return {AUDIO_DRIVER_KS, true, true, false, false};
        if (iAudioDriver == AUDIO_DRIVER_KS)
            return {AUDIO_DRIVER_KS, false, true, false, false};
        if (iAudioDriver != AUDIO_DRIVER_ASIO)
            return {iAudioDriver, false, false, false, false};
        return {AUDIO_DRIVER_ASIO, false, false, true, false};
    }
    // ASIO first where it is installed, unless the player chose Windows audio;
    // Windows audio when ASIO does not start.
    if (!bAsioPresent || iAudioDriver == AUDIO_DRIVER_WASAPI)
        return {AUDIO_DRIVER_WASAPI, false, false, false, true};
    return {AUDIO_DRIVER_ASIO, false, false, true, true};
}

AudioDecision DecideAfterAsioFailure(int iWindowsMajor)
{
    if (iWindowsMajor >= 6)
        return {AUDIO_DRIVER_WASAPI, false, false, false, true};
    return {AUDIO_DRIVER_KS, false, true, false, false};
}

int InitAudio()
{
    g_bStreamStopped = false;
    InitSamplingFreqTables();
    if (Present(AUDIO_DRIVER_ASIO))
        g_bAsioPresent = 1;

    const AudioDecision d = DecideAudioDriver(g_iWindowsMajorVersion, g_bAsioPresent != 0, g_iAudioDriver);
    g_iAudioDriver = d.iDriver;
    if (d.bCommit)
        g_iConfirmedAudioDriver = d.iDriver;
    if (d.bCreateThread)
        StartCaptureThread();
    const char* szAsioStep = nullptr;  // the step ASIO failed at, when it was tried
    auto asioStarts = [&szAsioStep] {
        if (Call(AudioBackendOf(AUDIO_DRIVER_ASIO).Init))
            return true;
        szAsioStep = FailedStep(AUDIO_DRIVER_ASIO);
        return false;
    };
    if (d.bTryAsio)
    {
        if (asioStarts())
        {
            g_iAudioDriver = AUDIO_DRIVER_ASIO;
            return 1;
        }
        const AudioDecision f = DecideAfterAsioFailure(g_iWindowsMajorVersion);
        g_iAudioDriver = f.iDriver;
        if (f.bCreateThread)
        {
            g_Log.Print("InitAudio() Asio.Init() FAILED trying WDM KS");
            StartCaptureThread();
            return 1;
        }
        g_Log.Print("InitAudio() Asio.Init() FAILED trying Windows audio");
    }
    if (!d.bTryWasapi)
        return 1;
    // The driver that runs is the one a restart shuts down.
    if (Call(AudioBackendOf(AUDIO_DRIVER_WASAPI).Init))
    {
        g_iAudioDriver = g_iConfirmedAudioDriver = AUDIO_DRIVER_WASAPI;
        return 1;
    }
    // Windows audio chosen but not starting: an installed ASIO driver is tried next.
    if (!d.bTryAsio && g_bAsioPresent)
    {
        g_Log.Print("InitAudio() Windows audio FAILED trying ASIO");
        if (asioStarts())
        {
            g_iAudioDriver = g_iConfirmedAudioDriver = AUDIO_DRIVER_ASIO;
            return 1;
        }
    }
    g_iAudioDriver = AUDIO_DRIVER_NONE;
    g_bStreamStopped = true;
    if (!g_bAsioPresent)
        g_iConfirmedAudioDriver = AUDIO_DRIVER_NONE;
    g_Log.Print("InitAudio() Asio.Init() FAILED no audio drivers in use");
    ClearReading();
    const std::string sMessage = NoDriverStartedMessage(szAsioStep, FailedStep(AUDIO_DRIVER_WASAPI));
    g_AudioPlatform.ShowError(sMessage.c_str(), kDriverFailedCaption);
    return 0;
}

int StartAudio()
{
    const AudioBackend& b = AudioBackendOf(g_iAudioDriver);
    if (!b.Start || b.Start())
        return 1;
    g_bStreamStopped = true;
    if (g_iAudioDriver == AUDIO_DRIVER_ASIO)
    {
        g_Log.Print("ASIOStart() FAILED");
        TellDriverFailed(kAsioDriverName, "start");
    }
    else
    {
        TellDriverFailed(kWasapiDriverName, FailedStep(g_iAudioDriver));
    }
    return 0;
}

void RestartStream(int iRunningDriver)
{
    const AudioBackend& b = AudioBackendOf(iRunningDriver);
    if (b.Release)
        b.Release();
    InitAudio();
    StartAudio();
}

namespace {

void NoMessage(const char*, const char*) {}

} // namespace

// Until a platform fills in its back ends: no driver at all, nothing to show.
AudioPlatform g_AudioPlatform = {{}, &NoMessage};
