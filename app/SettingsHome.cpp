#include "app/SettingsHome.h"

#include <cstdio>

#include "app/InstallPath.h"
#include "base/FileOpen.h"
#include "base/SystemQuery.h"
#include "base/UserFolder.h"

SettingsHome ChooseSettingsHome(const SettingsPlaces& places, const SettingsProbes& probes)
{
    const std::string sInstallFile = JoinPath(places.sInstallFolder, kSettingsFileName);
    if (places.sUserFolder.empty())
        return {places.sInstallFolder, sInstallFile};
    const std::string sUserFile = JoinPath(places.sUserFolder, kSettingsFileName);
    if (probes.FileExists(sUserFile))
        return {places.sUserFolder, sUserFile};
    if (probes.FolderWritable(places.sInstallFolder))
        return {places.sInstallFolder, sInstallFile};
    if (!places.sVirtualStoreFolder.empty())
    {
        const std::string sStoreFile = JoinPath(places.sVirtualStoreFolder, kSettingsFileName);
        if (probes.FileExists(sStoreFile))
            return {places.sUserFolder, sStoreFile};
    }
    return {places.sUserFolder, sInstallFile};
}

std::string VirtualStoreFolder(const std::string& sLocalAppData, const std::string& sFolder)
{
    // "C:\Program Files\..." keeps "\Program Files\..."; "C:" alone is the root.
    const bool bDrive = sFolder.size() >= 2 && sFolder[1] == ':' &&
                        ((sFolder[0] >= 'A' && sFolder[0] <= 'Z') || (sFolder[0] >= 'a' && sFolder[0] <= 'z'));
    if (sLocalAppData.empty() || !bDrive)
        return std::string();
    std::string sRest = sFolder.substr(2);
    while (!sRest.empty() && (sRest[0] == '\\' || sRest[0] == '/'))
        sRest.erase(0, 1);
    const std::string sStore = JoinPath(sLocalAppData, "VirtualStore");
    return sRest.empty() ? sStore : JoinPath(sStore, sRest);
}

namespace {

bool FileExists(const std::string& sFile)
{
    std::FILE* f = OpenFile(sFile.c_str(), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

} // namespace

SettingsPlaces PlatformSettingsPlaces(const std::string& sInstallFolder)
{
    SettingsPlaces places;
    places.sInstallFolder = sInstallFolder;
    places.sUserFolder = ProgramUserFolder(false);
    char szLocal[1024] = {};
    if (g_SystemQuery.ReadKnownFolder && g_SystemQuery.ReadKnownFolder(kLocalAppDataFolder, szLocal, sizeof(szLocal)))
    {
        szLocal[sizeof(szLocal) - 1] = '\0';
        places.sVirtualStoreFolder = VirtualStoreFolder(szLocal, sInstallFolder);
    }
    return places;
}

SettingsProbes FileSystemProbes()
{
    return SettingsProbes{&FileExists, &FolderWritable};
}
