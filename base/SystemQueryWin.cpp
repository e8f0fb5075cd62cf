#include "base/SystemQuery.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

int ReadMachineStringWin(const char* szKey, const char* szValue, char* szOut, int iSize)
{
    if (!szOut || iSize <= 0)
        return 0;
    szOut[0] = '\0';
    if (!szKey || !szValue)
        return 0;
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, szKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 0;
    // A stored string need not end in a terminator: keep the last byte for one.
    DWORD dwType = 0;
    DWORD dwBytes = static_cast<DWORD>(iSize - 1);
    LONG lResult = RegQueryValueExA(hKey, szValue, nullptr, &dwType, reinterpret_cast<BYTE*>(szOut), &dwBytes);
    RegCloseKey(hKey);
    // A value of another type would be raw bytes, not text to print.
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ) ||
        dwBytes > static_cast<DWORD>(iSize - 1))
    {
        szOut[0] = '\0';
        return 0;
    }
    szOut[dwBytes] = '\0';
    return 1;
}

int ReadMemoryWin(unsigned long long* pAvailable, unsigned long long* pTotal)
{
    if (!pAvailable || !pTotal)
        return 0;
    // The extended form: the old GlobalMemoryStatus saturates at 4 GB.
    MEMORYSTATUSEX ms;
    ZeroMemory(&ms, sizeof(ms));
    ms.dwLength = sizeof(ms);
    if (!GlobalMemoryStatusEx(&ms))
        return 0;
    // Some systems cap the total they tell a 32-bit program but not the available
    // figure; the report must never show more available memory than there is.
    *pTotal = ms.ullTotalPhys;
    *pAvailable = ms.ullAvailPhys < ms.ullTotalPhys ? ms.ullAvailPhys : ms.ullTotalPhys;
    return 1;
}

int ReadCurrentDirectoryWin(char* szOut, int iSize)
{
    if (!szOut || iSize <= 0)
        return 0;
    // When the buffer is too small the call returns the size it needs instead;
    // a cut path would name another directory, so that counts as failure.
    DWORD dwLength = GetCurrentDirectoryA(static_cast<DWORD>(iSize), szOut);
    if (dwLength == 0 || dwLength >= static_cast<DWORD>(iSize))
    {
        szOut[0] = '\0';
        return 0;
    }
    return 1;
}

} // namespace

SystemQuery PlatformSystemQuery()
{
    return SystemQuery{&ReadMachineStringWin, &ReadMemoryWin, &ReadCurrentDirectoryWin};
}

// Initialised with constants, so it is ready before any global constructor runs
// (the log's constructor reads the working directory through it).
SystemQuery g_SystemQuery = {&ReadMachineStringWin, &ReadMemoryWin, &ReadCurrentDirectoryWin};
