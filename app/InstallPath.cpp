#include "app/InstallPath.h"

#include <cstring>

#include "base/Log.h"
#include "base/SystemQuery.h"
#include "base/Utf8.h"

int GetInstallPath(char (&szPath)[kInstallPathSize])
{
    szPath[0] = '\0';
    char szRead[kInstallPathSize] = {};
    switch (g_pReadInstallPath ? g_pReadInstallPath(szRead, kInstallPathSize) : InstallPathRead::KeyMissing)
    {
    case InstallPathRead::Found: break;
    case InstallPathRead::KeyMissing: g_Log.Print("GetInstallPath() no install path Found"); return 0;
    case InstallPathRead::QueryFailed: g_Log.Print("GetInstallPath() RegQueryValueEx() FAILED"); return 0;
    case InstallPathRead::TooLong:
        g_Log.Print("GetInstallPath() install path too long FAILED");
        return 0;
    }
    szRead[kInstallPathSize - 1] = '\0';
    // The file name is appended to the path within the system's path limit.
    const std::size_t nLength = std::strlen(szRead);
    const std::size_t nChars = Utf16Length(szRead);
    if (nChars + 1 + std::strlen(kSettingsFileName) >= static_cast<std::size_t>(kInstallPathChars))
    {
        g_Log.Print("GetInstallPath() install path too long FAILED, length = ", static_cast<int>(nChars));
        return 0;
    }
    g_Log.Print("GetInstallPath() InstallPath : ", szRead);
    std::memcpy(szPath, szRead, nLength + 1);
    return 1;
}

int GetSettingsFileName(char (&szFile)[kInstallPathSize])
{
    char szPath[kInstallPathSize];
    if (!GetInstallPath(szPath))
        return 0;
    // GetInstallPath made sure the whole name fits.
    const std::size_t n = std::strlen(szPath);
    std::memcpy(szFile, szPath, n);
    szFile[n] = PATH_SEPARATOR;
    std::memcpy(szFile + n + 1, kSettingsFileName, sizeof(kSettingsFileName));
    return 1;
}
