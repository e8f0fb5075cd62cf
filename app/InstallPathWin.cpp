#include "app/InstallPath.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "base/Utf8.h"

namespace {

InstallPathRead ReadInstallPathWin(char* szOut, int iSize)
{
    if (!szOut || iSize <= 1)
        return InstallPathRead::QueryFailed;
    szOut[0] = '\0';
    // The installer is a 32-bit program: its key is in the 32-bit view, which a
    // 64-bit build must ask for (a 32-bit one reads it anyway). The installer
    // takes any folder name: read it in UTF-16, not the ANSI code page.
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Utf8ToWide(kInstallPathKey).c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &hKey) !=
        ERROR_SUCCESS)
        return InstallPathRead::KeyMissing;
    wchar_t wszPath[kInstallPathChars + 1] = {};
    DWORD dwType = 0;
    DWORD dwBytes = kInstallPathChars * sizeof(wchar_t);  // room for a terminator the value may lack
    const LONG lResult = RegQueryValueExW(hKey, Utf8ToWide(kInstallPathValue).c_str(), nullptr, &dwType,
                                          reinterpret_cast<BYTE*>(wszPath), &dwBytes);
    RegCloseKey(hKey);
    if (lResult == ERROR_MORE_DATA)
        return InstallPathRead::TooLong;
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ) ||
        dwBytes > kInstallPathChars * sizeof(wchar_t))
        return InstallPathRead::QueryFailed;
    wszPath[dwBytes / sizeof(wchar_t)] = L'\0';
    const std::string sPath = WideToUtf8(wszPath);
    if (sPath.size() >= static_cast<std::size_t>(iSize))
        return InstallPathRead::TooLong;
    sPath.copy(szOut, sPath.size());
    szOut[sPath.size()] = '\0';
    return InstallPathRead::Found;
}

} // namespace

InstallPathReader g_pReadInstallPath = &ReadInstallPathWin;
