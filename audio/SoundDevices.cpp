#include "audio/SoundDevices.h"

#include <cstdio>

#include "base/Log.h"

char g_szSoundDeviceName[256] = "";
int g_iNumSoundDevices = 0;

namespace {
constexpr int kMaxSoundDevices = 20;
}

BOOL CALLBACK CaptureDeviceEnumCallback(LPGUID pGuid, LPCSTR szDescription, LPCSTR szModule, LPVOID /*pContext*/)
{
    // The entry without a GUID is the primary device again under another name.
    if (!pGuid || g_iNumSoundDevices >= kMaxSoundDevices)
        return TRUE;
    if (g_iNumSoundDevices == 0)
        std::snprintf(g_szSoundDeviceName, sizeof(g_szSoundDeviceName), "%s", szDescription ? szDescription : "");
    ++g_iNumSoundDevices;
    g_Log.Print("Sound device name   = ", szDescription ? szDescription : "");
    g_Log.Print("Sound device driver = ", szModule ? szModule : "");
    g_Log.Print("");
    return TRUE;
}
