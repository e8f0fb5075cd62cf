#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "app/Clock.h"
#include "app/Log.h"
#include "app/SystemQuery.h"
#include "tests/LogTestFiles.h"

#if defined(__linux__)
#include <dirent.h>
#endif

namespace {

using namespace logtest;

// ---------------------------------------------------------------------------
// A system whose answers the test decides. Registry strings are looked up by the
// exact key and value names, so a misspelt key finds nothing.

struct FakeSystem
{
    static std::map<std::string, std::string> s_Strings;  // "key|value" -> text
    static bool s_bOverfill;  // fill the whole buffer, unterminated
    static bool s_bMemory;
    static unsigned long long s_ullAvailable;
    static unsigned long long s_ullTotal;
    static bool s_bDirectory;
    static std::string s_sDirectory;

    static int ReadMachineString(const char* szKey, const char* szValue, char* szOut, int iSize)
    {
        auto it = s_Strings.find(std::string(szKey) + "|" + szValue);
        if (it == s_Strings.end())
            return 0;
        if (s_bOverfill)
        {
            std::memset(szOut, 'x', static_cast<size_t>(iSize));
            return 1;
        }
        if (it->second.size() >= static_cast<size_t>(iSize))
            return 0;
        std::memcpy(szOut, it->second.c_str(), it->second.size() + 1);
        return 1;
    }
    static int ReadMemory(unsigned long long* pAvailable, unsigned long long* pTotal)
    {
        if (!s_bMemory)
            return 0;
        *pAvailable = s_ullAvailable;
        *pTotal = s_ullTotal;
        return 1;
    }
    static int ReadCurrentDirectory(char* szOut, int iSize)
    {
        if (!s_bDirectory || s_sDirectory.size() >= static_cast<size_t>(iSize))
            return 0;
        std::memcpy(szOut, s_sDirectory.c_str(), s_sDirectory.size() + 1);
        return 1;
    }
};

std::map<std::string, std::string> FakeSystem::s_Strings;
bool FakeSystem::s_bOverfill = false;
bool FakeSystem::s_bMemory = false;
unsigned long long FakeSystem::s_ullAvailable = 0;
unsigned long long FakeSystem::s_ullTotal = 0;
bool FakeSystem::s_bDirectory = false;
std::string FakeSystem::s_sDirectory;

const char kOwnerKey[] = "Software\\Microsoft\\Windows\\CurrentVersion|RegisteredOwner";
const char kVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion|VersionNumber";
const char kNtVersionKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion|CurrentVersion";
const char kCpuKey[] = "Hardware\\Description\\System\\CentralProcessor\\0|ProcessorNameString";
const char kDirectXKey[] = "Software\\Microsoft\\DirectX|Version";

// Installs the fake for one test and puts the real answers back afterwards.
class FakeSystemScope
{
public:
    FakeSystemScope() : m_Saved(g_SystemQuery), m_iSavedMajor(g_iWindowsMajorVersion)
    {
        FakeSystem::s_Strings.clear();
        FakeSystem::s_bOverfill = false;
        FakeSystem::s_bMemory = false;
        FakeSystem::s_bDirectory = false;
        g_SystemQuery = SystemQuery{&FakeSystem::ReadMachineString, &FakeSystem::ReadMemory,
                                    &FakeSystem::ReadCurrentDirectory};
        g_iWindowsMajorVersion = 0;
    }
    ~FakeSystemScope()
    {
        g_SystemQuery = m_Saved;
        g_iWindowsMajorVersion = m_iSavedMajor;
    }
    FakeSystemScope(const FakeSystemScope&) = delete;
    FakeSystemScope& operator=(const FakeSystemScope&) = delete;

private:
    SystemQuery m_Saved;
    int m_iSavedMajor;
};

bool IsEmptyDirectory(const fs::path& p)
{
    return fs::is_directory(p) && fs::directory_iterator(p) == fs::directory_iterator();
}

// ---------------------------------------------------------------------------
// The file: where it goes, how it starts and ends.

TEST(LogFile, HeaderFirstLinesBetweenFooterLast)
{
    TempDir dir;
    {
        CLog log(dir.Str().c_str());
        EXPECT_TRUE(log.Enabled());
        // Each line is on disk as soon as Print returns.
        EXPECT_EQ(ReadText(dir.LogFile()), Header(dir.LogFileStr()));
        log.Print("first");
        log.Print("second");
        EXPECT_EQ(ReadText(dir.LogFile()), Header(dir.LogFileStr()) + "first\nsecond\n");
    }
    EXPECT_EQ(ReadText(dir.LogFile()), Header(dir.LogFileStr()) + "first\nsecond\n" + Footer());
}

TEST(LogFile, NewLogEmptiesPreviousFile)
{
    TempDir dir;
    WriteText(dir.LogFile(), "stale line from an older run\n");
    {
        CLog log(dir.Str().c_str());
        log.Print("first run");
    }
    {
        CLog log(dir.Str().c_str());
        log.Print("second run");
    }
    EXPECT_EQ(ReadText(dir.LogFile()), Header(dir.LogFileStr()) + "second run\n" + Footer());
}

TEST(LogFile, DefaultLogGoesToWorkingDirectoryTheSystemReports)
{
    FakeSystemScope fake;
    TempDir dir;
    FakeSystem::s_bDirectory = true;
    FakeSystem::s_sDirectory = dir.Str();
    {
        CLog log;
        log.Print("here");
    }
    EXPECT_EQ(ReadText(dir.LogFile()), Header(dir.LogFileStr()) + "here\n" + Footer());
}

TEST(LogFile, UnreadableWorkingDirectoryStillLogsThere)
{
    // Joining an empty directory would aim at the root of the drive; the bare
    // name keeps the file in the working directory.
    FakeSystemScope fake;
    TempDir dir;
    WorkingDirectory cwd(dir.Path());
    {
        CLog log;
        log.Print("here");
    }
    EXPECT_EQ(ReadText(dir.LogFile()), Header("Logfile.txt") + "here\n" + Footer());
}

TEST(LogFile, DefaultLogOnThisSystem)
{
    TempDir dir;
    WorkingDirectory cwd(dir.Path());
    {
        CLog log;
        log.Print("here");
    }
    std::vector<std::string> lines = SplitLines(ReadText(dir.LogFile()));
    ASSERT_EQ(lines.size(), 7u);
    const std::string label = "CLog::CLog() FileNameNPath : ";
    ASSERT_EQ(lines[2].compare(0, label.size(), label), 0) << lines[2];
    fs::path written = lines[2].substr(label.size());
    EXPECT_TRUE(written.is_absolute()) << written;
    EXPECT_TRUE(fs::equivalent(written, dir.LogFile())) << written;
    EXPECT_EQ(lines[4], "here");
}

TEST(LogFile, DirectoryEndingInSeparatorGetsNoSecondOne)
{
    TempDir dir;
    {
        CLog log((dir.Str() + PATH_SEPARATOR).c_str());
    }
    EXPECT_EQ(ReadText(dir.LogFile()), Header(dir.LogFileStr()) + Footer());
}

TEST(LogFile, PathTooLongForItsBufferWritesNowhere)
{
    // A cut path would name some other file; the log must rather stay silent.
    TempDir dir;
    std::string sDir = dir.Str() + PATH_SEPARATOR;
    sDir += std::string(CLog::kBufferSize - 6 - sDir.size(), 'd');
    ASSERT_LT(sDir.size(), static_cast<size_t>(CLog::kBufferSize));
    {
        CLog log(sDir.c_str());
        EXPECT_FALSE(log.Enabled());
        log.Print("lost");
    }
    EXPECT_TRUE(IsEmptyDirectory(dir.Path()));
}

TEST(LogFile, MissingDirectoryIsNotFatalAndEachPrintTriesAgain)
{
    TempDir dir;
    fs::path later = dir.Path() / "later";
    std::string sLater = later.string();
    {
        CLog log(sLater.c_str());
        log.Print("lost");
        log.Print("lost", 1);
        EXPECT_FALSE(fs::exists(later));
        fs::create_directory(later);
        log.Print("kept");
    }
    EXPECT_EQ(ReadText(later / "Logfile.txt"), "kept\n" + Footer());
}

TEST(LogFile, UnwritableLogFileIsNotFatal)
{
    // A folder where the file should be cannot be opened by any account (a
    // read-only file can still be written by an administrator).
    TempDir dir;
    fs::create_directory(dir.LogFile());
    {
        CLog log(dir.Str().c_str());
        log.Print("text");
        log.Print("text", "more");
        log.LogMemory();
    }
    EXPECT_TRUE(fs::is_directory(dir.LogFile()));
    EXPECT_TRUE(IsEmptyDirectory(dir.LogFile()));
}

TEST(LogFile, SilentLogNeverTouchesTheDisk)
{
    FakeSystemScope fake;
    TempDir dir;
    WorkingDirectory cwd(dir.Path());
    FakeSystem::s_bDirectory = true;
    FakeSystem::s_sDirectory = dir.Str();
    FakeSystem::s_Strings[kOwnerKey] = "Owner";
    FakeSystem::s_Strings[kCpuKey] = "Cpu";
    FakeSystem::s_bMemory = true;
    {
        CLog log(nullptr);
        EXPECT_FALSE(log.Enabled());
        log.Print("a");
        log.Print("a", "b");
        log.Print("a", 1);
        log.Print("a", static_cast<DWORD>(1));
        log.Print("a", 1.0f);
        log.Print(nullptr);
        log.LogPcName();
        log.LogCpuName();
        log.LogMemory();
    }
    EXPECT_TRUE(IsEmptyDirectory(dir.Path()));
}

// ---------------------------------------------------------------------------
// The Print forms and the exact text they write.

class PrintTest : public ::testing::Test
{
protected:
    // What follows the header, while the log is still open.
    std::string Body()
    {
        std::string s = ReadText(m_Dir.LogFile());
        std::string h = Header(m_Dir.LogFileStr());
        EXPECT_EQ(s.compare(0, h.size(), h), 0) << s;
        return s.size() >= h.size() ? s.substr(h.size()) : std::string();
    }

    TempDir m_Dir;
    CLog m_Log{m_Dir.Str().c_str()};
};

TEST_F(PrintTest, TwoPartsAlwaysGetOneBlankBetween)
{
    m_Log.Print("Program version = ", "1.3");
    m_Log.Print("PC name    : ", "Owner");
    m_Log.Print("no blank", "");
    m_Log.Print("", "leading blank");
    m_Log.Print("a", "b");
    EXPECT_EQ(Body(),
              "Program version =  1.3\n"
              "PC name    :  Owner\n"
              "no blank \n"
              " leading blank\n"
              "a b\n");
}

TEST_F(PrintTest, LineBreaksInTextReachTheFile)
{
    m_Log.Print("before");
    m_Log.Print("");
    m_Log.Print("\ng_dwMemCount      = ", 0);
    m_Log.Print("two\nlines");
    EXPECT_EQ(Body(), "before\n\n\ng_dwMemCount      =  0\ntwo\nlines\n");
}

TEST_F(PrintTest, NumbersAreWrittenInDecimal)
{
    m_Log.Print("int", -1);
    m_Log.Print("int", INT_MIN);
    m_Log.Print("int", INT_MAX);
    m_Log.Print("dword", static_cast<DWORD>(4294967295u));
    m_Log.Print("dword", static_cast<DWORD>(0));
    m_Log.Print("float", 1.5f);
    m_Log.Print("float", -0.25f);
    m_Log.Print("float", 1e10f);
    m_Log.Print("float", 1e-7f);
    m_Log.Print("float", FLT_MAX);
    EXPECT_EQ(Body(),
              "int -1\n"
              "int -2147483648\n"
              "int 2147483647\n"
              "dword 4294967295\n"
              "dword 0\n"
              "float 1.500000\n"
              "float -0.250000\n"
              "float 10000000000.000000\n"
              "float 0.000000\n"
              "float 340282346638528859811704183484516925440.000000\n");
}

TEST_F(PrintTest, FormatCharactersInTextAreJustText)
{
    m_Log.Print("100% %s %d %n");
    m_Log.Print("%s", "%n%n");
    m_Log.Print("%d", 5);
    EXPECT_EQ(Body(), "100% %s %d %n\n%s %n%n\n%d 5\n");
}

TEST_F(PrintTest, NullTextsBecomeFixedErrorLines)
{
    m_Log.Print(nullptr);
    m_Log.Print(nullptr, "text2");
    m_Log.Print("text", static_cast<const char*>(nullptr));
    m_Log.Print(static_cast<const char*>(nullptr), static_cast<const char*>(nullptr));
    m_Log.Print(nullptr, 7);
    m_Log.Print(nullptr, static_cast<DWORD>(7));
    m_Log.Print(nullptr, 7.0f);
    EXPECT_EQ(Body(),
              "ERROR CLog::Print(char *String) String = NULL\n"
              "ERROR CLog::Print(char *String, char *String2) String = NULL\n"
              "ERROR CLog::Print(char *String, char *String2) String2 = NULL\n"
              "ERROR CLog::Print(char *String, char *String2) String = NULL\n"
              "ERROR CLog::Print(char *String, int i) String = NULL\n"
              "ERROR CLog::Print(char *String, DWORD d) String = NULL\n"
              "ERROR CLog::Print(char *String, float f) String = NULL\n");
}

TEST_F(PrintTest, LinesOf1024CharactersOrMoreAreDropped)
{
    const std::string s1023(1023, 'a');
    const std::string s1024(1024, 'b');
    std::string expected;

    m_Log.Print(s1023.c_str());
    expected += s1023 + "\n";
    m_Log.Print(s1024.c_str());
    m_Log.Print(std::string(5000, 'c').c_str());

    // Text, blank and second text: 1023 in all is kept, 1024 is not.
    m_Log.Print(std::string(500, 'd').c_str(), std::string(522, 'e').c_str());
    expected += std::string(500, 'd') + " " + std::string(522, 'e') + "\n";
    m_Log.Print(std::string(500, 'f').c_str(), std::string(523, 'g').c_str());
    m_Log.Print(s1023.c_str(), "");
    m_Log.Print("", s1023.c_str());
    m_Log.Print(s1024.c_str(), "h");

    // The number forms count their digits the same way.
    m_Log.Print(std::string(1020, 'i').c_str(), -1);
    expected += std::string(1020, 'i') + " -1\n";
    m_Log.Print(std::string(1021, 'j').c_str(), -1);
    m_Log.Print(std::string(1012, 'k').c_str(), static_cast<DWORD>(4294967295u));
    expected += std::string(1012, 'k') + " 4294967295\n";
    m_Log.Print(std::string(1013, 'l').c_str(), static_cast<DWORD>(4294967295u));
    m_Log.Print(std::string(1014, 'm').c_str(), 1.5f);
    expected += std::string(1014, 'm') + " 1.500000\n";
    m_Log.Print(std::string(1015, 'n').c_str(), 1.5f);

    // A dropped line does not stop the ones after it.
    m_Log.Print("after");
    expected += "after\n";
    EXPECT_EQ(Body(), expected);
}

#if defined(__linux__)
int OpenDescriptorCount()
{
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (!d)
        return -1;
    while (readdir(d))
        ++n;
    closedir(d);
    return n;
}
#endif

TEST_F(PrintTest, NoLineLeavesTheFileOpen)
{
#if defined(__linux__)
    int nBefore = OpenDescriptorCount();
#endif
    const std::string sLong(1024, 'x');
    for (int i = 0; i < 50; ++i)
    {
        m_Log.Print("kept", i);
        m_Log.Print(sLong.c_str());
        m_Log.Print(sLong.c_str(), "y");
    }
#if defined(__linux__)
    EXPECT_EQ(OpenDescriptorCount(), nBefore);
#endif
    // An open handle would keep Windows from removing the file.
    std::error_code ec;
    EXPECT_TRUE(fs::remove(m_Dir.LogFile(), ec)) << ec.message();
}

// ---------------------------------------------------------------------------
// The system report, against a system with chosen answers.

class SystemReportTest : public PrintTest
{
protected:
    FakeSystemScope m_Fake;
};

TEST_F(SystemReportTest, FullReportHasItsLabelsInStartUpOrder)
{
    FakeSystem::s_Strings[kOwnerKey] = "Jo Bloggs";
    FakeSystem::s_Strings[kVersionKey] = "4.10.2222";
    FakeSystem::s_Strings[kNtVersionKey] = "6.1";
    FakeSystem::s_Strings[kCpuKey] = "Pentium III";
    FakeSystem::s_Strings[kDirectXKey] = "4.09.00.0904";
    FakeSystem::s_bMemory = true;
    FakeSystem::s_ullAvailable = 1536ull * 1024 + 1023;  // rounds down
    FakeSystem::s_ullTotal = 8ull << 30;  // past the 4 GB an old 32-bit count could hold

    EXPECT_EQ(m_Log.LogPcName(), 1);
    EXPECT_EQ(m_Log.LogWindowsVersion(), 1);
    EXPECT_EQ(m_Log.LogCpuName(), 1);
    EXPECT_EQ(m_Log.LogDirectXVersion(), 1);
    m_Log.LogMemory();
    EXPECT_EQ(Body(),
              "PC name    :  Jo Bloggs\n"
              "Windows version number :  4.10.2222\n"
              "CPU name :  Pentium III\n"
              "DX version :  4.09.00.0904\n"
              "System memory available : 1536 KB\n"
              "Total system memory     : 8388608 KB\n");
    // The major number comes only from the NT line.
    EXPECT_EQ(g_iWindowsMajorVersion, 0);
}

TEST_F(SystemReportTest, NtVersionIsTheFallbackAndGivesTheMajorNumber)
{
    const struct
    {
        const char* szVersion;
        int iMajor;
    } cases[] = {{"5.1", 5}, {"6.0", 6}, {"10.0", 10}, {"x.y", 0}};
    std::string expected;
    for (const auto& c : cases)
    {
        FakeSystem::s_Strings[kNtVersionKey] = c.szVersion;
        g_iWindowsMajorVersion = -1;
        EXPECT_EQ(m_Log.LogWindowsVersion(), 1) << c.szVersion;
        EXPECT_EQ(g_iWindowsMajorVersion, c.iMajor) << c.szVersion;
        expected += std::string("Windows NT version number :  ") + c.szVersion + "\n";
    }
    EXPECT_EQ(Body(), expected);
}

TEST_F(SystemReportTest, MissingValuesWriteNothingAndReturnZero)
{
    EXPECT_EQ(m_Log.LogPcName(), 0);
    EXPECT_EQ(m_Log.LogWindowsVersion(), 0);
    EXPECT_EQ(m_Log.LogCpuName(), 0);
    EXPECT_EQ(m_Log.LogDirectXVersion(), 0);
    m_Log.LogMemory();
    EXPECT_EQ(Body(), "");
    EXPECT_EQ(g_iWindowsMajorVersion, 0);
}

TEST_F(SystemReportTest, ValueFillingTheWholeBufferIsCutNotOverrun)
{
    FakeSystem::s_Strings[kOwnerKey] = "ignored";
    FakeSystem::s_bOverfill = true;
    EXPECT_EQ(m_Log.LogPcName(), 1);
    EXPECT_EQ(Body(), "PC name    :  " + std::string(511, 'x') + "\n");
}

TEST_F(SystemReportTest, MemoryBeyondWhatAnIntHoldsIsClamped)
{
    FakeSystem::s_bMemory = true;
    FakeSystem::s_ullAvailable = 1023;
    FakeSystem::s_ullTotal = 16ull << 40;  // 16 TB: 2^34 KB
    m_Log.LogMemory();
    EXPECT_EQ(Body(),
              "System memory available : 0 KB\n"
              "Total system memory     : 2147483647 KB\n");
}

// ---------------------------------------------------------------------------
// This platform's own answers.

TEST(PlatformSystemQuery, WorkingDirectoryIsWholeOrNothing)
{
    SystemQuery q = PlatformSystemQuery();
    char sz[CLog::kBufferSize];
    ASSERT_EQ(q.ReadCurrentDirectory(sz, sizeof(sz)), 1);
    EXPECT_TRUE(fs::equivalent(fs::path(sz), fs::current_path())) << sz;

    // One byte short of room for the terminator: a cut path would be wrong.
    int iShort = static_cast<int>(std::strlen(sz));
    std::string sBuffer(static_cast<size_t>(iShort) + 8, '#');
    EXPECT_EQ(q.ReadCurrentDirectory(&sBuffer[0], iShort), 0);
    EXPECT_EQ(sBuffer[0], '\0');
    EXPECT_EQ(sBuffer.substr(static_cast<size_t>(iShort)), std::string(8, '#'));
}

TEST(PlatformSystemQuery, MachineStrings)
{
    SystemQuery q = PlatformSystemQuery();
    char sz[512];
    std::memset(sz, '#', sizeof(sz));
    EXPECT_EQ(q.ReadMachineString("Software\\No Such Vendor\\No Such Key", "Nothing", sz, sizeof(sz)), 0);
    EXPECT_EQ(sz[0], '\0');
#if defined(_WIN32)
    // Every NT system answers the fallback key; its major number is what the
    // audio side chooses its driver by.
    ASSERT_EQ(q.ReadMachineString("Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", sz,
                                  sizeof(sz)),
              1);
    EXPECT_GT(std::atoi(sz), 0) << sz;
    char szTiny[2] = {'#', '#'};
    EXPECT_EQ(q.ReadMachineString("Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", szTiny,
                                  sizeof(szTiny)),
              0);
    EXPECT_EQ(szTiny[0], '\0');
#else
    ASSERT_EQ(q.ReadMachineString("Software\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner", sz, sizeof(sz)),
              1);
    EXPECT_GT(std::strlen(sz), 0u);
    ASSERT_EQ(q.ReadMachineString("Software\\Microsoft\\Windows\\CurrentVersion", "VersionNumber", sz, sizeof(sz)), 1);
    EXPECT_NE(std::strchr(sz, ' '), nullptr) << sz;  // system name and release
    // No DirectX and no NT key here, so the major number stays unknown.
    EXPECT_EQ(q.ReadMachineString("Software\\Microsoft\\DirectX", "Version", sz, sizeof(sz)), 0);
    EXPECT_EQ(q.ReadMachineString("Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", sz,
                                  sizeof(sz)),
              0);
    char szTiny[2] = {'#', '#'};
    EXPECT_EQ(q.ReadMachineString("Software\\Microsoft\\Windows\\CurrentVersion", "VersionNumber", szTiny,
                                  sizeof(szTiny)),
              0);
    EXPECT_EQ(szTiny[0], '\0');
    EXPECT_EQ(szTiny[1], '#');
#endif
}

TEST(PlatformSystemQuery, MemoryIsPlausible)
{
    SystemQuery q = PlatformSystemQuery();
    unsigned long long ullAvailable = 0;
    unsigned long long ullTotal = 0;
    ASSERT_EQ(q.ReadMemory(&ullAvailable, &ullTotal), 1);
    EXPECT_GE(ullTotal, 16ull << 20);
    EXPECT_GT(ullAvailable, 0u);
    EXPECT_LE(ullAvailable, ullTotal);
}

TEST(PlatformSystemQuery, ReportOnThisSystemKeepsItsLabels)
{
    TempDir dir;
    int iSavedMajor = g_iWindowsMajorVersion;
    g_iWindowsMajorVersion = 0;
    {
        CLog log(dir.Str().c_str());
        log.LogPcName();
        log.LogWindowsVersion();
        log.LogCpuName();
        log.LogDirectXVersion();
        log.LogMemory();
    }
    std::vector<std::string> lines = SplitLines(ReadText(dir.LogFile()));
    g_iWindowsMajorVersion = iSavedMajor;
    // Header (4 lines), report, footer (2 lines).
    ASSERT_GE(lines.size(), 8u);
    std::vector<std::string> report(lines.begin() + 4, lines.end() - 2);
    const char* labels[] = {"PC name    :  ", "Windows version number :  ", "Windows NT version number :  ",
                            "CPU name :  ", "DX version :  ", "System memory available : ",
                            "Total system memory     : "};
    size_t iLabel = 0;
    for (const std::string& line : report)
    {
        while (iLabel < std::size(labels) && line.rfind(labels[iLabel], 0) != 0)
            ++iLabel;
        ASSERT_LT(iLabel, std::size(labels)) << "unexpected or out-of-order line: " << line;
    }
    ASSERT_GE(report.size(), 2u);
    EXPECT_EQ(report[report.size() - 2].rfind("System memory available : ", 0), 0u);
    EXPECT_EQ(report.back().rfind("Total system memory     : ", 0), 0u);
}

TEST(Clock, CountsMilliseconds)
{
    DWORD dwStart = TimeMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    DWORD dwElapsed = TimeMs() - dwStart;  // unsigned: correct across a wrap
    EXPECT_GE(dwElapsed, 80u);
    EXPECT_LT(dwElapsed, 5000u);
}

} // namespace
