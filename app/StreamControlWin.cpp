#include "app/StreamControlWin.h"

#include "app/AppGlobals.h"
#include "audio/asio/Asio.h"
#include "audio/ks/KsStream.h"
#include "audio/wasapi/WasapiHost.h"
#include "base/Log.h"
#include "engine/DspEngine.h"

namespace {

void Signal(int iEvent)
{
    if (g_hAudioEvents[iEvent])
        SetEvent(g_hAudioEvents[iEvent]);
}

int KsInit()
{
    g_hCaptureThread = CreateCaptureThread(g_hAudioEvents);
    return g_hCaptureThread ? 1 : 0;
}
int KsStart()
{
    Signal(eRun);
    return 1;
}
void KsStop() { Signal(ePause); }
void KsRelease() { Signal(eAbort); }

int AsioPresent() { return CAsio::bIsAsioDriverPresent(); }
int AsioInit() { return CAsio::Init(); }
int AsioStart() { return ASIOStart() == ASE_OK ? 1 : 0; }
void AsioStop() { ASIOStop(); }
void AsioRelease() { CAsio::Release(); }

void ShowError(const char* szText, const char* szCaption) { MessageBoxA(g_hWnd, szText, szCaption, MB_OK); }

} // namespace

AudioPlatform WindowsAudioPlatform()
{
    // Present, list devices, init, start, stop, release, failed step, end reported.
    AudioPlatform p{};
    p.aBackends[AUDIO_DRIVER_KS] = {nullptr, &EnumKsDeviceNames, &KsInit, &KsStart, &KsStop, &KsRelease, nullptr, true};
    p.aBackends[AUDIO_DRIVER_ASIO] = {&AsioPresent, nullptr,     &AsioInit,          &AsioStart,
                                      &AsioStop,    &AsioRelease, &CAsio::FailedStep, false};
    p.aBackends[AUDIO_DRIVER_WASAPI] = {nullptr,          &WasapiHost::ListDevices, &WasapiHost::Init,
                                        &WasapiHost::Start, &WasapiHost::Stop,      &WasapiHost::Release,
                                        &WasapiHost::FailedStep, false};
    p.ShowError = &ShowError;
    return p;
}

void HandleWasapiLoss(LPARAM hr)
{
    g_Log.Print("MsgProc() CM_WASAPI_LOST hr =", static_cast<int>(hr));
    WasapiHost::Stop();
    g_bStreamStopped = true;
    if (g_pDspEngine)
        g_pDspEngine->m_Tuner2.ClearReading();
    MessageBoxA(g_hWnd, kWasapiLostMessage, kDriverFailedCaption, MB_OK);
}

void ReleaseAudioDriver()
{
    const AudioBackend& b = AudioBackendOf(g_iAudioDriver);
    if (b.Release)
        b.Release();
}

void HandleAsioRequests()
{
    if (!CAsio::TakeRequests())
        return;
    // The stream that asked is an ASIO one, whatever an open Options dialog shows.
    g_iAudioDriver = AUDIO_DRIVER_ASIO;
    RestartStream(AUDIO_DRIVER_ASIO);
}

void SetRealtimePriority(HWND hWnd)
{
    // Without the real-time class the audio may drop out under load: worth a line
    // in the log, not a message.
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    HANDLE hProcess = OpenProcess(PROCESS_SET_INFORMATION, FALSE, dwProcessId);
    if (!hProcess)
    {
        g_Log.Print("SetRealtimePriority() OpenProcess() FAILED, error", static_cast<int>(GetLastError()));
        return;
    }
    if (!SetPriorityClass(hProcess, REALTIME_PRIORITY_CLASS))
        g_Log.Print("SetRealtimePriority() SetPriorityClass() FAILED, error", static_cast<int>(GetLastError()));
    else if (GetPriorityClass(hProcess) != REALTIME_PRIORITY_CLASS)
        // A user without the privilege gets the high class instead, silently.
        g_Log.Print("SetRealtimePriority() the system gave priority class", static_cast<int>(GetPriorityClass(hProcess)));
    CloseHandle(hProcess);
}
