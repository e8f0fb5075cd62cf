// Kernel streaming in the program: the device names the Options dialog lists and
// the audio thread that streams through the chosen devices.
#include "audio/ks/KsStream.h"

#include <cstdio>
#include <cstring>

#include "audio/StreamControl.h"
#include "audio/ks/CaptureThread.h"
#include "audio/ks/enum.h"
#include "base/Log.h"

namespace {

// Set while the latest listing of the device names failed: no audio thread then
// tries the same devices again (without another driver, the program is quitting).
bool s_bDevicesFailed = false;

static_assert(MAX_PATH == kKsDeviceNameSize, "the layer's names fit the list's");

void CopyNames(int iCount, const char (*aszFrom)[MAX_PATH], int* piTo, char (*aszTo)[kKsDeviceNameSize])
{
    *piTo = iCount;
    std::memcpy(aszTo, aszFrom, static_cast<size_t>(iCount) * kKsDeviceNameSize);
}

}  // namespace

int EnumKsDeviceNames(AudioDriverEntry* pEntry, bool bReportFailure)
{
    CKsEnumFilters* pCapture = nullptr;
    CKsEnumFilters* pRender = nullptr;
    HRESULT hrLast = S_OK;
    const char* szFailure = nullptr;
    try
    {
        FindKsFilters(pCapture, pRender, hrLast);
        CopyNames(g_iNumCaptureDeviceNames, g_szCaptureDeviceNames, &pEntry->iNumCaptureNames, pEntry->aszCaptureNames);
        CopyNames(g_iNumRenderDeviceNames, g_szRenderDeviceNames, &pEntry->iNumRenderNames, pEntry->aszRenderNames);
    }
    catch (const char* sz)
    {
        szFailure = sz;
    }
    // Only the names are kept: the devices opened for them are closed again, as
    // the audio thread opens them without sharing.
    delete pCapture;
    delete pRender;
    s_bDevicesFailed = szFailure != nullptr;
    if (!szFailure)
        return 1;
    if (bReportFailure)
    {
        ReportKsFailure(szFailure, hrLast);
        return 0;
    }
    // Only the text's first line: the rest asks for the driver that is running.
    const char* szEnd = std::strchr(szFailure, '\n');
    const int iLength = szEnd ? static_cast<int>(szEnd - szFailure) : static_cast<int>(std::strlen(szFailure));
    char szLine[300];
    std::snprintf(szLine, sizeof(szLine), "EnumKsDeviceNames() %.*s  hr = 0x%08x FAILED", iLength, szFailure,
                  static_cast<unsigned>(hrLast));
    g_Log.Print(szLine);
    return 0;
}

bool WaitForCaptureThreadEnd(unsigned long dwDeadlineMs)
{
    HANDLE hThread = g_hCaptureThread;
    if (!hThread)
        return true;
    const DWORD dwStart = GetTickCount();
    for (;;)
    {
        const DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= dwDeadlineMs)
            return WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0;
        const DWORD dwWait = MsgWaitForMultipleObjects(1, &hThread, FALSE, dwDeadlineMs - dwElapsed, QS_SENDMESSAGE);
        if (dwWait == WAIT_OBJECT_0)
            return true;
        if (dwWait != WAIT_OBJECT_0 + 1 && dwWait != WAIT_TIMEOUT)
            return false;
        // Delivers the sent messages; posted ones stay queued.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void* CreateCaptureThread(void** phEvents)
{
    if (s_bDevicesFailed)
    {
        g_Log.Print("CreateCaptureThread() not started: the kernel-streaming devices failed");
        return nullptr;
    }
    // The thread before this one has ended, or is ending in its report: its handle
    // is no longer waited on, and would leak with every restart.
    if (g_hCaptureThread)
    {
        CloseHandle(g_hCaptureThread);
        g_hCaptureThread = nullptr;
    }
    HANDLE hThread = CreateThread(nullptr, 0, &CaptureThreadProc, phEvents, 0, nullptr);
    if (!hThread)
    {
        g_Log.Print("CreateCaptureThread() CreateThread() FAILED, error", static_cast<int>(GetLastError()));
        TellDriverFailed("WDM KS", "creating the audio thread");
    }
    else if (!SetThreadPriority(hThread, THREAD_PRIORITY_HIGHEST))
        g_Log.Print("CreateCaptureThread() SetThreadPriority() FAILED, error", static_cast<int>(GetLastError()));
    return hThread;
}
