#include "app/StreamControlWin.h"

#include "app/AppGlobals.h"
#include "audio/asio/Asio.h"
#include "audio/ks/KsStream.h"

namespace {

int AsioPresent() { return CAsio::bIsAsioDriverPresent(); }
int AsioInit() { return CAsio::Init(); }
int AsioStart() { return ASIOStart() == ASE_OK ? 1 : 0; }
void Signal(void* hEvent)
{
    if (hEvent)
        SetEvent(hEvent);
}
void AsioRelease() { CAsio::Release(); }
void ShowError(const char* szText, const char* szCaption) { MessageBoxA(g_hWnd, szText, szCaption, MB_OK); }

} // namespace

AudioPlatform WindowsAudioPlatform()
{
    return AudioPlatform{&AsioPresent, &AsioInit, &AsioStart, &CreateCaptureThread, &EnumKsDeviceNames, &Signal, &ShowError,
                         &AsioRelease};
}

void HandleAsioRequests()
{
    if (!CAsio::TakeRequests())
        return;
    // The stream that asked is an ASIO one, whatever an open Options dialog shows.
    g_iAudioDriver = AUDIO_DRIVER_ASIO;
    RestartAsioStream();
}

void SetRealtimePriority(HWND hWnd)
{
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    HANDLE hProcess = OpenProcess(PROCESS_SET_INFORMATION, FALSE, dwProcessId);
    SetPriorityClass(hProcess, REALTIME_PRIORITY_CLASS);
    CloseHandle(hProcess);
}
