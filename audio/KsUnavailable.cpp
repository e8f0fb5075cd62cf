// Until the kernel-streaming library is part of the program: no devices and no
// audio thread, so a system without ASIO runs the panel without sound.
#include "audio/KsStream.h"

#include "app/Log.h"
#include "audio/StreamControl.h"

int EnumKsDeviceNames(AudioDriverEntry* pEntry)
{
    if (pEntry)
    {
        pEntry->iNumCaptureNames = 0;
        pEntry->iNumRenderNames = 0;
    }
    g_Log.Print("EnumKsDeviceNames() no kernel-streaming devices");
    return 1;
}

void* CreateCaptureThread(void**)
{
    g_Log.Print("CreateCaptureThread() no kernel-streaming devices");
    return nullptr;
}
