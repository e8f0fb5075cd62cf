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
namespace {

template <class R, class F>
R WithWidePath(const char* szPath, R failed, F use) noexcept
{
    if (!szPath)
        return failed;
    try
    {
        return use(Utf8ToWide(szPath));
    }
    catch (...)
    {
        return failed;
    }
}

}  // namespace

std::FILE* OpenFile(const char* szPath, const char* szMode)
{
    return WithWidePath(szPath, static_cast<std::FILE*>(nullptr), [szMode](const std::wstring& wsPath) {
        return szMode ? _wfopen(wsPath.c_str(), Utf8ToWide(szMode).c_str()) : nullptr;
    });
}

bool RemoveFile(const char* szPath)
{
    return WithWidePath(szPath, false, [](const std::wstring& wsPath) { return DeleteFileW(wsPath.c_str()) != 0; });
}

bool MakeFolder(const char* szPath)
{
    return WithWidePath(szPath, false, [](const std::wstring& wsPath) {
        if (CreateDirectoryW(wsPath.c_str(), nullptr))
            return true;
        const DWORD dwAttributes = GetFileAttributesW(wsPath.c_str());
        return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    });
}

