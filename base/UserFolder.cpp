#include "base/UserFolder.h"

#include "base/Clock.h"
#include "base/FileOpen.h"
#include "base/SystemQuery.h"

namespace {

const char* const kSubfolders[] = {"Tonquarry Multimedia Studios", "Tonquarry Guitar Tuner"};

// Long enough for any Windows path in UTF-8 (three bytes a UTF-16 unit).
constexpr int kFolderSize = 1024;

} // namespace

std::string JoinPath(const std::string& sFolder, const std::string& sName)
{
    if (sFolder.empty())
        return sName;
    const char cLast = sFolder.back();
    if (cLast == PATH_SEPARATOR || cLast == '/')
        return sFolder + sName;
    return sFolder + PATH_SEPARATOR + sName;
}

std::string ProgramUserFolder(bool bCreate)
{
    char szBase[kFolderSize] = {};
    if (!g_SystemQuery.ReadKnownFolder || !g_SystemQuery.ReadKnownFolder(kAppDataFolder, szBase, kFolderSize))
        return std::string();
    szBase[kFolderSize - 1] = '\0';
    std::string sFolder = szBase;
    if (sFolder.empty())
        return sFolder;
    for (const char* szName : kSubfolders)
    {
        sFolder = JoinPath(sFolder, szName);
        if (bCreate && !MakeFolder(sFolder.c_str()))
            return std::string();
    }
    return sFolder;
}

bool FolderWritable(const std::string& sFolder)
{
    if (sFolder.empty())
        return false;
    // A name no other file has: an existing one is neither opened for writing
    // nor removed. The clock tells two programs probing at once apart.
    const unsigned long ulStamp = static_cast<unsigned long>(TimeMs());
    for (int i = 0; i < 16; ++i)
    {
        const std::string sProbe =
            JoinPath(sFolder, "~tq-write-test-" + std::to_string(ulStamp) + "-" + std::to_string(i) + ".tmp");
        if (std::FILE* fExisting = OpenFile(sProbe.c_str(), "rb"))
        {
            std::fclose(fExisting);
            continue;
        }
        std::FILE* f = OpenFile(sProbe.c_str(), "wb");
        if (!f)
            return false;
        std::fclose(f);
        RemoveFile(sProbe.c_str());
        return true;
    }
    return false;
}
