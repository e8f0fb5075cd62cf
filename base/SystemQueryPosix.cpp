#include "base/SystemQuery.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

// Without a registry the report's three machine strings come from the system
// itself, under the same key and value names so the log stays the same:
// the user for the registered owner, kernel name and release for the version,
// and the processor model. Nothing answers for the NT key or DirectX.

namespace {

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kProcessorKey[] = "Hardware\\Description\\System\\CentralProcessor\\0";

// Copies s whole or not at all, as the registry read fails on a value too long
// for its buffer rather than cutting it.
int CopyOut(const std::string& s, char* szOut, int iSize)
{
    if (s.empty() || s.size() >= static_cast<std::size_t>(iSize))
        return 0;
    std::memcpy(szOut, s.c_str(), s.size() + 1);
    return 1;
}

std::string UserName()
{
    struct passwd pw;
    struct passwd* pResult = nullptr;
    char szBuffer[4096];
    if (getpwuid_r(geteuid(), &pw, szBuffer, sizeof(szBuffer), &pResult) == 0 && pResult &&
        pResult->pw_name && pResult->pw_name[0] != '\0')
        return pResult->pw_name;
    const char* szUser = std::getenv("USER");
    return szUser ? szUser : "";
}

std::string OsVersion()
{
    struct utsname u;
    if (uname(&u) != 0)
        return "";
    return std::string(u.sysname) + " " + u.release;
}

std::string Trim(const std::string& s)
{
    const char* szSpace = " \t\r\n";
    std::size_t b = s.find_first_not_of(szSpace);
    if (b == std::string::npos)
        return "";
    std::size_t e = s.find_last_not_of(szSpace);
    return s.substr(b, e - b + 1);
}

// The value of the first "name : value" line of a /proc file whose name matches.
std::string ProcField(const char* szPath, const char* szName)
{
    std::FILE* f = std::fopen(szPath, "r");
    if (!f)
        return "";
    std::string sLine;
    std::string sResult;
    char szChunk[512];
    bool bFound = false;
    // Lines such as the cpu flags are longer than any chunk: gather whole lines.
    while (!bFound && std::fgets(szChunk, sizeof(szChunk), f))
    {
        sLine += szChunk;
        if (sLine.empty() || (sLine.back() != '\n' && !std::feof(f)))
            continue;
        std::size_t nColon = sLine.find(':');
        if (nColon != std::string::npos && Trim(sLine.substr(0, nColon)) == szName)
        {
            sResult = Trim(sLine.substr(nColon + 1));
            bFound = true;
        }
        sLine.clear();
    }
    std::fclose(f);
    return sResult;
}

int ReadMachineStringText(const char* szKey, const char* szValue, char* szOut, int iSize)
{
    if (std::strcmp(szKey, kCurrentVersionKey) == 0 && std::strcmp(szValue, "RegisteredOwner") == 0)
        return CopyOut(UserName(), szOut, iSize);
    if (std::strcmp(szKey, kCurrentVersionKey) == 0 && std::strcmp(szValue, "VersionNumber") == 0)
        return CopyOut(OsVersion(), szOut, iSize);
    if (std::strcmp(szKey, kProcessorKey) == 0 && std::strcmp(szValue, "ProcessorNameString") == 0)
        return CopyOut(ProcField("/proc/cpuinfo", "model name"), szOut, iSize);
    return 0;
}

// The log promises never to throw; the strings above could, if memory ran out.
int ReadMachineStringPosix(const char* szKey, const char* szValue, char* szOut, int iSize)
{
    if (!szOut || iSize <= 0)
        return 0;
    szOut[0] = '\0';
    if (!szKey || !szValue)
        return 0;
    try
    {
        return ReadMachineStringText(szKey, szValue, szOut, iSize);
    }
    catch (...)
    {
        szOut[0] = '\0';
        return 0;
    }
}

int ReadMemoryPosix(unsigned long long* pAvailable, unsigned long long* pTotal)
{
    if (!pAvailable || !pTotal)
        return 0;
    long lPages = sysconf(_SC_PHYS_PAGES);
    long lPageSize = sysconf(_SC_PAGE_SIZE);
    if (lPages <= 0 || lPageSize <= 0)
        return 0;
    unsigned long long ullTotal = static_cast<unsigned long long>(lPages) * static_cast<unsigned long long>(lPageSize);

    // What could be handed out without swapping, as the kernel estimates it; free
    // pages alone leave out the page cache and read far too low.
    unsigned long long ullAvailable = 0;
    bool bHave = false;
    std::string sAvailable;
    try
    {
        sAvailable = ProcField("/proc/meminfo", "MemAvailable");
    }
    catch (...)
    {
    }
    if (!sAvailable.empty())
    {
        char* pEnd = nullptr;
        unsigned long long ullKb = std::strtoull(sAvailable.c_str(), &pEnd, 10);
        if (pEnd != sAvailable.c_str())
        {
            ullAvailable = ullKb * 1024u;
            bHave = true;
        }
    }
#ifdef _SC_AVPHYS_PAGES
    if (!bHave)
    {
        long lFree = sysconf(_SC_AVPHYS_PAGES);
        if (lFree >= 0)
        {
            ullAvailable = static_cast<unsigned long long>(lFree) * static_cast<unsigned long long>(lPageSize);
            bHave = true;
        }
    }
#endif
    if (!bHave)
        return 0;
    *pAvailable = ullAvailable;
    *pTotal = ullTotal;
    return 1;
}

int ReadCurrentDirectoryPosix(char* szOut, int iSize)
{
    if (!szOut || iSize <= 0)
        return 0;
    if (!getcwd(szOut, static_cast<std::size_t>(iSize)))
    {
        szOut[0] = '\0';
        return 0;
    }
    return 1;
}

// The program keeps its files beside itself here: no per-user folders to offer.
int ReadKnownFolderPosix(int, char* szOut, int iSize)
{
    if (szOut && iSize > 0)
        szOut[0] = '\0';
    return 0;
}

} // namespace

SystemQuery PlatformSystemQuery()
{
    return SystemQuery{&ReadMachineStringPosix, &ReadMemoryPosix, &ReadCurrentDirectoryPosix, &ReadKnownFolderPosix};
}

// Initialised with constants, so it is ready before any global constructor runs
// (the log's constructor reads the working directory through it).
SystemQuery g_SystemQuery = {&ReadMachineStringPosix, &ReadMemoryPosix, &ReadCurrentDirectoryPosix, &ReadKnownFolderPosix};
