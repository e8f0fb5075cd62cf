#include "base/FileOpen.h"

#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "base/Utf8.h"

// The log opens its file for every line, also from the audio thread: nothing here
// may throw, a failed conversion is a file that cannot be opened.

std::FILE* OpenFile(const char* szPath, const char* szMode)
{
    if (!szPath || !szMode)
        return nullptr;
    try
    {
        return _wfopen(Utf8ToWide(szPath).c_str(), Utf8ToWide(szMode).c_str());
    }
    catch (...)
    {
        return nullptr;
    }
}

bool RemoveFile(const char* szPath)
{
    if (!szPath)
        return false;
    try
    {
        return DeleteFileW(Utf8ToWide(szPath).c_str()) != 0;
    }
    catch (...)
    {
        return false;
    }
}

bool MakeFolder(const char* szPath)
{
    if (!szPath)
        return false;
    try
    {
        const std::wstring wsPath = Utf8ToWide(szPath);
        if (CreateDirectoryW(wsPath.c_str(), nullptr))
            return true;
        const DWORD dwAttributes = GetFileAttributesW(wsPath.c_str());
        return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    catch (...)
    {
        return false;
    }
}
