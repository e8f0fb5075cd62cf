#include "app/InstallPath.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

InstallPathRead ReadInstallPathWin(char* szOut, int iSize)
{
    if (!szOut || iSize <= 1)
        return InstallPathRead::QueryFailed;
    szOut[0] = '\0';
    // The installer is a 32-bit program: its key is in the 32-bit view, which a
    // 64-bit build must ask for (a 32-bit one reads it anyway).
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallPathKey, 0, KEY_READ | KEY_WOW64_32KEY, &hKey) != ERROR_SUCCESS)
        return InstallPathRead::KeyMissing;
    DWORD dwType = 0;
    DWORD dwBytes = static_cast<DWORD>(iSize - 1);  // room for a terminator the value may lack
    const LONG lResult =
        RegQueryValueExA(hKey, kInstallPathValue, nullptr, &dwType, reinterpret_cast<BYTE*>(szOut), &dwBytes);
    RegCloseKey(hKey);
    if (lResult == ERROR_MORE_DATA)
        return InstallPathRead::TooLong;
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ) ||
        dwBytes > static_cast<DWORD>(iSize - 1))
    {
        szOut[0] = '\0';
        return InstallPathRead::QueryFailed;
    }
    szOut[dwBytes] = '\0';
    return InstallPathRead::Found;
}

} // namespace

InstallPathReader g_pReadInstallPath = &ReadInstallPathWin;
