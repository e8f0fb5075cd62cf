#include "app/RecordingMixer.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "base/Log.h"

void OpenRecordingMixer(HWND hOwner)
{
    // By the system folder's full name: a program of the same name in the working
    // directory must not be started instead.
    wchar_t szSystem[MAX_PATH] = {};
    const UINT uLength = GetSystemDirectoryW(szSystem, MAX_PATH);
    if (uLength == 0 || uLength >= MAX_PATH)
    {
        g_Log.Print("OpenRecordingMixer() GetSystemDirectory() FAILED");
        return;
    }
    const bool bVolumeMixer = g_iWindowsMajorVersion < 6;
    const std::wstring sFile = std::wstring(szSystem) + (bVolumeMixer ? L"\\sndvol32.exe" : L"\\control.exe");
    const wchar_t* szParameters = bVolumeMixer ? L"-r" : L"mmsys.cpl,,1";
    const INT_PTR iResult = reinterpret_cast<INT_PTR>(
        ShellExecuteW(hOwner, L"open", sFile.c_str(), szParameters, nullptr, SW_SHOWNORMAL));
    if (iResult <= 32)
    {
        char szLine[96];
        std::snprintf(szLine, sizeof(szLine), "OpenRecordingMixer() ShellExecute() %s error %d FAILED",
                      bVolumeMixer ? "sndvol32.exe" : "control.exe", static_cast<int>(iResult));
        g_Log.Print(szLine);
    }
}
