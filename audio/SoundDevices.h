#pragma once
// The sound capture devices DirectSound lists at start-up, for the log and the
// About box. Windows only.
#include <windows.h>

extern char g_szSoundDeviceName[256];  // the first capture device
extern int g_iNumSoundDevices;         // at most 20

// For DirectSoundCaptureEnumerateA: records the first description and logs each
// device.
BOOL CALLBACK CaptureDeviceEnumCallback(LPGUID pGuid, LPCSTR szDescription, LPCSTR szModule, LPVOID pContext);
