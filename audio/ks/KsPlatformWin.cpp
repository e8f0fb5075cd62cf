// The production platform: each call goes to Windows unchanged.
#include "audio/ks/KsPlatform.h"

namespace {

class CWindowsKsPlatform final : public IKsPlatform
{
public:
    HDEVINFO GetClassDevs(const GUID* pClass, DWORD dwFlags) override { return SetupDiGetClassDevsA(pClass, nullptr, nullptr, dwFlags); }
    BOOL EnumDeviceInterfaces(HDEVINFO hSet, const GUID* pClass, DWORD dwIndex, SP_DEVICE_INTERFACE_DATA* pData) override
    {
        return SetupDiEnumDeviceInterfaces(hSet, nullptr, pClass, dwIndex, pData);
    }
    BOOL GetDeviceInterfaceDetail(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, SP_DEVICE_INTERFACE_DETAIL_DATA_A* pDetail,
                                  DWORD cbDetail, SP_DEVINFO_DATA* pInfo) override
    {
        return SetupDiGetDeviceInterfaceDetailA(hSet, pData, pDetail, cbDetail, nullptr, pInfo);
    }
    BOOL GetDeviceInterfaceAlias(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, const GUID* pAlias,
                                 SP_DEVICE_INTERFACE_DATA* pAliasData) override
    {
        return SetupDiGetDeviceInterfaceAlias(hSet, pData, pAlias, pAliasData);
    }
    HKEY OpenDeviceInterfaceRegKey(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pData, REGSAM access) override
    {
        return SetupDiOpenDeviceInterfaceRegKey(hSet, pData, 0, access);
    }
    LONG QueryValue(HKEY hKey, const char* szName, BYTE* pData, DWORD* pcbData) override
    {
        DWORD dwType = 0;
        return RegQueryValueExA(hKey, szName, nullptr, &dwType, pData, pcbData);
    }
    LONG CloseKey(HKEY hKey) override { return RegCloseKey(hKey); }
    BOOL GetDeviceRegistryProperty(HDEVINFO hSet, SP_DEVINFO_DATA* pInfo, DWORD dwProperty, BYTE* pBuffer, DWORD cbBuffer) override
    {
        return SetupDiGetDeviceRegistryPropertyA(hSet, pInfo, dwProperty, nullptr, pBuffer, cbBuffer, nullptr);
    }
    BOOL DestroyDeviceInfoList(HDEVINFO hSet) override { return SetupDiDestroyDeviceInfoList(hSet); }

    HANDLE CreateFileA(const char* szPath, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition, DWORD dwFlags) override
    {
        return ::CreateFileA(szPath, dwAccess, dwShare, nullptr, dwDisposition, dwFlags, nullptr);
    }
    BOOL DeviceIoControl(HANDLE h, DWORD dwCode, void* pIn, DWORD cbIn, void* pOut, DWORD cbOut, DWORD* pcbReturned,
                         OVERLAPPED* pOv) override
    {
        return ::DeviceIoControl(h, dwCode, pIn, cbIn, pOut, cbOut, pcbReturned, pOv);
    }
    DWORD GetLastError() override { return ::GetLastError(); }
    HMODULE LoadLibraryA(const char* szName) override { return ::LoadLibraryA(szName); }
    FARPROC GetProcAddress(HMODULE hModule, const char* szName) override { return ::GetProcAddress(hModule, szName); }
    BOOL CloseHandle(HANDLE h) override { return ::CloseHandle(h); }

    HANDLE CreateEventA(BOOL bManualReset, BOOL bInitialState) override { return ::CreateEventA(nullptr, bManualReset, bInitialState, nullptr); }
    BOOL SetEvent(HANDLE h) override { return ::SetEvent(h); }
    BOOL ResetEvent(HANDLE h) override { return ::ResetEvent(h); }
    DWORD WaitForSingleObject(HANDLE h, DWORD dwMilliseconds) override { return ::WaitForSingleObject(h, dwMilliseconds); }
    DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL bWaitAll, DWORD dwMilliseconds) override
    {
        return ::WaitForMultipleObjects(nCount, pHandles, bWaitAll, dwMilliseconds);
    }
};

CWindowsKsPlatform s_Windows;
IKsPlatform* s_pPlatform = &s_Windows;

}  // namespace

IKsPlatform& KsPlatform() { return *s_pPlatform; }
void SetKsPlatform(IKsPlatform* p) { s_pPlatform = p ? p : &s_Windows; }
