#include "base/SystemQuery.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "base/Utf8.h"

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

// A path whole or not at all: a cut one would name another folder.
int CopyPathOut(const wchar_t* wszPath, char* szOut, int iSize)
{
    try
    {
        const std::string sPath = WideToUtf8(wszPath);
        if (sPath.empty() || sPath.size() >= static_cast<std::size_t>(iSize))
            return 0;
        sPath.copy(szOut, sPath.size());
        szOut[sPath.size()] = '\0';
        return 1;
    }
    catch (...)
    {
        return 0;
    }
}

int ReadCurrentDirectoryWin(char* szOut, int iSize)
{
    if (!szOut || iSize <= 0)
        return 0;
    szOut[0] = '\0';
    // When the buffer is too small the call returns the size it needs instead.
    wchar_t wszDirectory[1024];
    const DWORD dwLength = GetCurrentDirectoryW(1024, wszDirectory);
    if (dwLength == 0 || dwLength >= 1024)
        return 0;
    return CopyPathOut(wszDirectory, szOut, iSize);
}

int ReadKnownFolderWin(int iFolder, char* szOut, int iSize)
{
    if (!szOut || iSize <= 0)
        return 0;
    szOut[0] = '\0';
    // The roaming folder is made when missing, as a fresh profile may lack it.
    int iCsidl = 0;
    switch (iFolder)
    {
    case kAppDataFolder: iCsidl = CSIDL_APPDATA | CSIDL_FLAG_CREATE; break;
    case kLocalAppDataFolder: iCsidl = CSIDL_LOCAL_APPDATA; break;
    default: return 0;
    }
    wchar_t wszFolder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, iCsidl, nullptr, SHGFP_TYPE_CURRENT, wszFolder)))
        return 0;
    wszFolder[MAX_PATH - 1] = L'\0';
    return CopyPathOut(wszFolder, szOut, iSize);
}

} // namespace

SystemQuery PlatformSystemQuery()
{
    return SystemQuery{&ReadMachineStringWin, &ReadMemoryWin, &ReadCurrentDirectoryWin, &ReadKnownFolderWin};
}

// Initialised with constants, so it is ready before any global constructor runs
// (the log's constructor reads the working directory through it).
SystemQuery g_SystemQuery = {&ReadMachineStringWin, &ReadMemoryWin, &ReadCurrentDirectoryWin, &ReadKnownFolderWin};
