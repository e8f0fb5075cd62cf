// Kernel streaming in the program: the device names the Options dialog lists and
// the audio thread that streams through the chosen devices.
#include "audio/ks/KsStream.h"

#include <cstring>

#include "audio/StreamControl.h"
#include "audio/ks/CaptureThread.h"
#include "audio/ks/enum.h"
#include "base/Log.h"

namespace {

// Set once the device names could not be enumerated: the user has been told and
// the program is quitting, so no audio thread repeats the same failure.
bool s_bDevicesFailed = false;

static_assert(MAX_PATH == kKsDeviceNameSize, "the layer's names fit the list's");

void CopyNames(int iCount, const char (*aszFrom)[MAX_PATH], int* piTo, char (*aszTo)[kKsDeviceNameSize])
{
    *piTo = iCount;
    std::memcpy(aszTo, aszFrom, static_cast<size_t>(iCount) * kKsDeviceNameSize);
}

}  // namespace

int EnumKsDeviceNames(AudioDriverEntry* pEntry)
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
    if (!szFailure)
        return 1;
    s_bDevicesFailed = true;
    ReportKsFailure(szFailure, hrLast);
    return 0;
}

void* CreateCaptureThread(void** phEvents)
{
    if (s_bDevicesFailed)
    {
        g_Log.Print("CreateCaptureThread() not started: the kernel-streaming devices failed");
        return nullptr;
    }
    HANDLE hThread = CreateThread(nullptr, 0, &CaptureThreadProc, phEvents, 0, nullptr);
    if (hThread)
        SetThreadPriority(hThread, THREAD_PRIORITY_HIGHEST);
    return hThread;
}
