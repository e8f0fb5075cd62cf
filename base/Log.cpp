#include "base/Log.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/FileOpen.h"
#include "base/SystemQuery.h"
#include "base/UserFolder.h"

int g_iWindowsMajorVersion = 0;

namespace {

const char kLogFileName[] = "Logfile.txt";

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kNtCurrentVersionKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";
const char kProcessorKey[] = "Hardware\\Description\\System\\CentralProcessor\\0";
const char kDirectXKey[] = "Software\\Microsoft\\DirectX";

// Size of the buffer a system-report value is read into.
constexpr int kValueSize = 512;

// Length of s, but counting no further than limit: the callers only need to know
// whether a text fits, and a huge text must not cost a huge scan.
std::size_t BoundedLength(const char* s, std::size_t limit)
{
    std::size_t n = 0;
    while (n < limit && s[n] != '\0')
        ++n;
    return n;
}

// Runs f with the lock held. A lock that cannot be taken drops the line: the log
// must never throw into its callers, several of which are real-time threads.
template <class F>
void Locked(CLock& m, F&& f) noexcept
{
    try
    {
        std::lock_guard<CLock> guard(m);
        f();
    }
    catch (...)
    {
    }
}

// One report value, terminated here too, so a reader that fills the buffer to the
// brim cannot make the line run past it.
bool ReadValue(const char* szKey, const char* szValue, char (&szOut)[kValueSize])
{
    szOut[0] = '\0';
    if (!g_SystemQuery.ReadMachineString)
        return false;
    if (!g_SystemQuery.ReadMachineString(szKey, szValue, szOut, kValueSize))
        return false;
    szOut[kValueSize - 1] = '\0';
    return true;
}

// The major number at the start of a version text ("5.1" gives 5), as atoi reads
// it but without atoi's undefined result for a number out of range.
int LeadingInt(const char* sz)
{
    long v = std::strtol(sz, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

// Bytes to whole kilobytes, kept within what "%d" can print.
int ToKilobytes(unsigned long long ullBytes)
{
    unsigned long long ullKb = ullBytes / 1024u;
    return ullKb > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<int>(ullKb);
}

} // namespace

CLog::CLog() : m_szFileName{}, m_szDirectory{}, FileNameNPath{}, m_szLine{}
{
    char szDirectory[kBufferSize] = {};
    bool bRead = g_SystemQuery.ReadCurrentDirectory &&
                 g_SystemQuery.ReadCurrentDirectory(szDirectory, kBufferSize);
    szDirectory[kBufferSize - 1] = '\0';
    // Without a usable directory the bare file name still lands in the working
    // directory; joining an empty one would aim at the root of the drive instead.
    std::size_t nNeeded = BoundedLength(szDirectory, kBufferSize) + 1 + sizeof(kLogFileName);
    if (!bRead || nNeeded > static_cast<std::size_t>(kBufferSize))
        szDirectory[0] = '\0';
    if (Open(szDirectory) || !m_bEnabled)
        return;
    // A player without the right to write into the install folder (the working
    // folder the shortcut gives) still gets a log: in the program's own folder
    // among the user's application data. The header names the folder taken. A
    // log file that alone is read-only in a writable folder stays as it is.
    try
    {
        if (FolderWritable(szDirectory[0] ? szDirectory : "."))
            return;
        const std::string sUserFolder = ProgramUserFolder(true);
        if (!sUserFolder.empty() && Open(sUserFolder.c_str()))
        {
            Print("CLog::CLog() the working directory is not writable: ", szDirectory);
            return;
        }
    }
    catch (...)
    {
    }
    // Neither could be created: each Print still tries the working directory.
    Open(szDirectory);
}

CLog::CLog(const char* szDirectory) : m_szFileName{}, m_szDirectory{}, FileNameNPath{}, m_szLine{}
{
    Open(szDirectory);
}

CLog::~CLog()
{
    if (!m_bEnabled)
        return;
    Locked(m_Lock, [this] {
        std::FILE* f = OpenFile(FileNameNPath, "a");
        if (!f)
            return;
        std::fprintf(f, "%s\n\n", "End of Tonquarry Logfile");
        std::fclose(f);
    });
}

bool CLog::Open(const char* szDirectory)
{
    if (!szDirectory)
    {
        m_bEnabled = false;
        return false;
    }
    m_bEnabled = true;
    std::memcpy(m_szFileName, kLogFileName, sizeof(kLogFileName));

    std::size_t nDir = BoundedLength(szDirectory, kBufferSize);
    if (nDir >= static_cast<std::size_t>(kBufferSize))
    {
        // A path cut short would name some other file: this log writes nowhere.
        m_bEnabled = false;
        return false;
    }
    std::memcpy(m_szDirectory, szDirectory, nDir);
    m_szDirectory[nDir] = '\0';

    if (nDir == 0)
    {
        std::memcpy(FileNameNPath, kLogFileName, sizeof(kLogFileName));
    }
    else
    {
        // "C:\" or "/" already ends in a separator; a second one adds nothing.
        char cLast = szDirectory[nDir - 1];
        bool bSeparator = cLast != PATH_SEPARATOR && cLast != '/';
        std::size_t nPath = nDir + (bSeparator ? 1 : 0) + sizeof(kLogFileName);
        if (nPath > static_cast<std::size_t>(kBufferSize))
        {
            m_bEnabled = false;
            return false;
        }
        std::memcpy(FileNameNPath, szDirectory, nDir);
        if (bSeparator)
            FileNameNPath[nDir++] = PATH_SEPARATOR;
        std::memcpy(FileNameNPath + nDir, kLogFileName, sizeof(kLogFileName));
    }

    // "w" empties the previous run's file. If it cannot be created, each Print
    // still tries to append on its own.
    std::FILE* f = OpenFile(FileNameNPath, "w");
    if (!f)
        return false;
    std::fprintf(f, "%s\n\n", "Tonquarry Logfile");
    std::fprintf(f, "CLog::CLog() FileNameNPath : %s\n\n", FileNameNPath);
    return std::fclose(f) == 0;
}

// Called with m_Lock held. szText2 null means a one-part line.
void CLog::WriteLine(const char* szText, const char* szText2)
{
    if (!m_bEnabled)
        return;
    const std::size_t nMax = kBufferSize - 1;  // longest line the buffer holds
    std::size_t n1 = BoundedLength(szText, kBufferSize);
    if (n1 > nMax)
        return;
    std::size_t nLine = n1;
    if (szText2)
    {
        std::size_t n2 = BoundedLength(szText2, kBufferSize);
        if (n1 + 1 + n2 > nMax)
            return;
        nLine = n1 + 1 + n2;
        m_szLine[n1] = ' ';
        std::memcpy(m_szLine + n1 + 1, szText2, n2);
    }
    std::memcpy(m_szLine, szText, n1);
    m_szLine[nLine] = '\0';

    std::FILE* f = OpenFile(FileNameNPath, "a");
    if (!f)
        return;
    std::fprintf(f, "%s\n", m_szLine);
    std::fclose(f);
}

void CLog::Print(const char* szText)
{
    Locked(m_Lock, [&] {
        if (!szText)
            WriteLine("ERROR CLog::Print(char *String) String = NULL", nullptr);
        else
            WriteLine(szText, nullptr);
    });
}

void CLog::PrintPair(const char* szText, const char* szText2, const char* szNullText, const char* szNullText2)
{
    Locked(m_Lock, [&] {
        if (!szText)
            WriteLine(szNullText, nullptr);
        else if (!szText2)
            WriteLine(szNullText2, nullptr);
        else
            WriteLine(szText, szText2);
    });
}

void CLog::Print(const char* szText, const char* szText2)
{
    PrintPair(szText, szText2, "ERROR CLog::Print(char *String, char *String2) String = NULL",
              "ERROR CLog::Print(char *String, char *String2) String2 = NULL");
}

// The number forms format first; the number is never null, so only the text's
// error line can appear.
void CLog::Print(const char* szText, int i)
{
    char szNumber[32];
    std::snprintf(szNumber, sizeof(szNumber), "%d", i);
    PrintPair(szText, szNumber, "ERROR CLog::Print(char *String, int i) String = NULL", nullptr);
}

void CLog::Print(const char* szText, DWORD d)
{
    char szNumber[32];
    std::snprintf(szNumber, sizeof(szNumber), "%lu", static_cast<unsigned long>(d));
    PrintPair(szText, szNumber, "ERROR CLog::Print(char *String, DWORD d) String = NULL", nullptr);
}

void CLog::Print(const char* szText, float f)
{
    // The largest float in "%f" is 39 digits before the point and 6 after.
    char szNumber[64];
    std::snprintf(szNumber, sizeof(szNumber), "%f", static_cast<double>(f));
    PrintPair(szText, szNumber, "ERROR CLog::Print(char *String, float f) String = NULL", nullptr);
}

int CLog::LogValue(const char* szKey, const char* szValue, const char* szLabel)
{
    char szText[kValueSize];
    if (!ReadValue(szKey, szValue, szText))
        return 0;
    Print(szLabel, szText);
    return 1;
}

int CLog::LogPcName()
{
    return LogValue(kCurrentVersionKey, "RegisteredOwner", "PC name    : ");
}

int CLog::LogWindowsVersion()
{
    if (LogValue(kCurrentVersionKey, "VersionNumber", "Windows version number : "))
        return 1;
    // Only the NT line carries the major number the audio side chooses its driver by.
    char szValue[kValueSize];
    if (ReadValue(kNtCurrentVersionKey, "CurrentVersion", szValue))
    {
        Print("Windows NT version number : ", szValue);
        g_iWindowsMajorVersion = LeadingInt(szValue);
        return 1;
    }
    return 0;
}

int CLog::LogCpuName()
{
    return LogValue(kProcessorKey, "ProcessorNameString", "CPU name : ");
}

int CLog::LogDirectXVersion()
{
    return LogValue(kDirectXKey, "Version", "DX version : ");
}

void CLog::LogMemory()
{
    unsigned long long ullAvailable = 0;
    unsigned long long ullTotal = 0;
    if (!g_SystemQuery.ReadMemory || !g_SystemQuery.ReadMemory(&ullAvailable, &ullTotal))
        return;
    char szLine[80];
    std::snprintf(szLine, sizeof(szLine), "System memory available : %d KB", ToKilobytes(ullAvailable));
    Print(szLine);
    std::snprintf(szLine, sizeof(szLine), "Total system memory     : %d KB", ToKilobytes(ullTotal));
    Print(szLine);
}
