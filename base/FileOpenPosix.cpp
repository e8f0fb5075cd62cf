#include "base/FileOpen.h"

#include <cerrno>

#include <sys/stat.h>

std::FILE* OpenFile(const char* szPath, const char* szMode)
{
    return szPath && szMode ? std::fopen(szPath, szMode) : nullptr;
}

bool RemoveFile(const char* szPath)
{
    return szPath && std::remove(szPath) == 0;
}

bool MakeFolder(const char* szPath)
{
    if (!szPath)
        return false;
    if (mkdir(szPath, 0777) == 0)
        return true;
    struct stat st;
    return errno == EEXIST && stat(szPath, &st) == 0 && S_ISDIR(st.st_mode);
}
