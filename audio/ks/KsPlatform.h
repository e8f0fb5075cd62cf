#pragma once
// The one seam between the kernel-streaming layer (with its audio thread) and
// Windows: every platform call they make goes through here. The production
// implementation forwards each call unchanged; tests install a simulated world.
#include "audio/ks/KsDefs.h"

class IKsPlatform
{
public:
    virtual ~IKsPlatform() = default;

    // SetupAPI
    virtual HDEVINFO GetClassDevs(const GUID* pClass, DWORD dwFlags) = 0;
    virtual BOOL EnumDeviceInterfaces(HDEVINFO hSet, const GUID* pClass, DWORD dwIndex, SP_DEVICE_INTERFACE_DATA* pData) = 0;
    virtual BOOL GetDeviceInterfaceDetail(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData,
                                          SP_DEVICE_INTERFACE_DETAIL_DATA_A* pDetail, DWORD cbDetail, SP_DEVINFO_DATA* pInfo) = 0;
    virtual BOOL GetDeviceInterfaceAlias(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, const GUID* pAlias,
                                         SP_DEVICE_INTERFACE_DATA* pAliasData) = 0;
    virtual HKEY OpenDeviceInterfaceRegKey(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, REGSAM access) = 0;
    virtual LONG QueryValue(HKEY hKey, const char* szName, BYTE* pData, DWORD* pcbData) = 0;
    virtual LONG CloseKey(HKEY hKey) = 0;
    virtual BOOL GetDeviceRegistryProperty(HDEVINFO hSet, SP_DEVINFO_DATA* pInfo, DWORD dwProperty, BYTE* pBuffer, DWORD cbBuffer) = 0;
    virtual BOOL DestroyDeviceInfoList(HDEVINFO hSet) = 0;

    // Devices and their requests
    virtual HANDLE CreateFileA(const char* szPath, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition, DWORD dwFlags) = 0;
    virtual BOOL DeviceIoControl(HANDLE h, DWORD dwCode, void* pIn, DWORD cbIn, void* pOut, DWORD cbOut, DWORD* pcbReturned,
                                 OVERLAPPED* pOv) = 0;
    virtual DWORD GetLastError() = 0;
    // The entry point of "ksuser.dll", loaded on first use; null when unavailable.
    virtual HMODULE LoadLibraryA(const char* szName) = 0;
    virtual FARPROC GetProcAddress(HMODULE hModule, const char* szName) = 0;
    virtual BOOL CloseHandle(HANDLE h) = 0;

    // Events and waits
    virtual HANDLE CreateEventA(BOOL bManualReset, BOOL bInitialState) = 0;
    virtual BOOL SetEvent(HANDLE h) = 0;
    virtual BOOL ResetEvent(HANDLE h) = 0;
    virtual DWORD WaitForSingleObject(HANDLE h, DWORD dwMilliseconds) = 0;
    virtual DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL bWaitAll, DWORD dwMilliseconds) = 0;
};

// The platform in use: Windows itself unless a test installed another.
IKsPlatform& KsPlatform();
// Installs p (null: back to Windows).
void SetKsPlatform(IKsPlatform* p);

// The signature of KsCreatePin in "ksuser.dll".
typedef DWORD(WINAPI* KsCreatePinFn)(HANDLE hFilter, KSPIN_CONNECT* pConnect, ACCESS_MASK access, HANDLE* phPin);
