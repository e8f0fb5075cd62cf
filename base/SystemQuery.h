#pragma once
// The few operating-system facts the log needs, behind a seam: the Windows build
// reads the registry and the kernel, other builds answer from their own system,
// and tests substitute their own answers.

struct SystemQuery
{
    // A string value of a key under HKEY_LOCAL_MACHINE; 1 and the text in szOut
    // (always terminated) on success, 0 when the key or value is missing.
    int (*ReadMachineString)(const char* szKey, const char* szValue, char* szOut, int iSize);
    // Available and total physical memory in bytes; 1 on success.
    int (*ReadMemory)(unsigned long long* pAvailable, unsigned long long* pTotal);
    // The working directory, UTF-8; 1 on success.
    int (*ReadCurrentDirectory)(char* szOut, int iSize);
    // One of the user's system folders (KnownFolder), UTF-8; 1 on success, 0 where
    // the system has no such folder.
    int (*ReadKnownFolder)(int iFolder, char* szOut, int iSize);
};

enum KnownFolder
{
    kAppDataFolder = 0,       // the user's application data, which roams with the user
    kLocalAppDataFolder = 1,  // the user's application data kept on this computer
};

// The platform's answers.
SystemQuery PlatformSystemQuery();

// What the log uses; tests may replace it.
extern SystemQuery g_SystemQuery;

// Directory separator of the platform's paths.
#if defined(_WIN32)
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif
