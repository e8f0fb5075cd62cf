#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "base/Clock.h"
#include "base/Log.h"
#include "base/SystemQuery.h"
#include "tests/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A system whose answers each test decides. Strings are found by exact key and
// value name ("key|value"), so a misspelt key finds nothing.
std::map<std::string, std::string> g_Values;
bool g_bMemory = false;
unsigned long long g_ullMemory[2] = {};  // available, total
std::string g_sDirectory;

int CopyOut(const std::string& s, char* szOut, int iSize)
{
    if (s.size() >= static_cast<size_t>(iSize))
        return 0;
    std::memcpy(szOut, s.c_str(), s.size() + 1);
    return 1;
}
int FakeString(const char* szKey, const char* szValue, char* szOut, int iSize)
{
    auto it = g_Values.find(std::string(szKey) + "|" + szValue);
    return it == g_Values.end() ? 0 : CopyOut(it->second, szOut, iSize);
}
int FakeMemory(unsigned long long* pAvailable, unsigned long long* pTotal)
{
    *pAvailable = g_ullMemory[0];  // filled in even on failure: the result alone counts
    *pTotal = g_ullMemory[1];
    return g_bMemory ? 1 : 0;
}
int FakeDirectory(char* szOut, int iSize) { return CopyOut(g_sDirectory, szOut, iSize); }
std::string g_sAppData;  // empty: the system has none
int FakeKnownFolder(int iFolder, char* szOut, int iSize)
{
    return iFolder == kAppDataFolder && !g_sAppData.empty() ? CopyOut(g_sAppData, szOut, iSize) : 0;
}

const char kNtVersion[] = "Software\\Microsoft\\Windows NT\\CurrentVersion|CurrentVersion";
const char kFooter[] = "End of Tonquarry Logfile\n\n";

// Each test gets an empty folder of its own and the fake system, which reports
// that folder as the working directory.
class LogTest : public ::testing::Test
{
protected:
    LogTest()
        : m_Dir(fs::path(TestLogDirectory()) / ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          m_Saved(g_SystemQuery), m_iSavedMajor(g_iWindowsMajorVersion)
    {
        fs::create_directories(m_Dir);
        g_Values.clear();
        g_bMemory = false;
        g_sDirectory = Dir();
        g_sAppData.clear();
        g_SystemQuery = SystemQuery{&FakeString, &FakeMemory, &FakeDirectory, &FakeKnownFolder};
        g_iWindowsMajorVersion = 0;
    }
    ~LogTest() override
    {
        g_SystemQuery = m_Saved;
        g_iWindowsMajorVersion = m_iSavedMajor;
        std::error_code ec;
        fs::remove_all(m_Dir, ec);
    }

    std::string Dir() const { return m_Dir.string(); }
    std::string File() const { return Dir() + PATH_SEPARATOR + "Logfile.txt"; }
    std::string Header() const { return "Tonquarry Logfile\n\nCLog::CLog() FileNameNPath : " + File() + "\n\n"; }
    std::string Text() const
    {
        std::string s;
        for (const std::string& line : ReadTextLines(File()))
            s += line + "\n";
        return s;
    }
    // What follows the header (the first test checks the header itself).
    std::string Body() const { return Text().substr(Header().size()); }

    fs::path m_Dir;
    SystemQuery m_Saved;
    int m_iSavedMajor;
};

TEST_F(LogTest, HeaderLinesFooterAndEachRunStartsAfresh)
{
    std::ofstream(File()) << "stale line from an older run\n";
    {
        CLog log;  // the working directory, as the system reports it
        log.Print("first");
        log.Print("second");
        EXPECT_EQ(Text(), Header() + "first\nsecond\n");  // on disk as soon as written
    }
    EXPECT_EQ(Text(), Header() + "first\nsecond\n" + kFooter);
    {
        CLog log((Dir() + PATH_SEPARATOR).c_str());  // no second separator
        log.Print("again");
    }
    EXPECT_EQ(Text(), Header() + "again\n" + kFooter);
}

TEST_F(LogTest, EachPrintFormWritesItsExactText)
{
    CLog log(Dir().c_str());
    log.Print("PC name    : ", "Owner");
    log.Print("a", "");
    log.Print("\ng_dwMemCount      = ", 0);
    log.Print("int", -1);
    log.Print("dword", static_cast<DWORD>(4294967295u));
    log.Print("float", 1.5f);
    log.Print("float", FLT_MAX);
    log.Print("100% %s %d %n");
    log.Print("%s", "%n%n");
    log.Print(nullptr);
    log.Print(nullptr, "text2");
    log.Print("text", static_cast<const char*>(nullptr));
    log.Print(nullptr, 7);
    log.Print(nullptr, static_cast<DWORD>(7));
    log.Print(nullptr, 7.0f);
    EXPECT_EQ(Body(),
              "PC name    :  Owner\n"
              "a \n"
              "\ng_dwMemCount      =  0\n"
              "int -1\n"
              "dword 4294967295\n"
              "float 1.500000\n"
              "float 340282346638528859811704183484516925440.000000\n"
              "100% %s %d %n\n"
              "%s %n%n\n"
              "ERROR CLog::Print(char *String) String = NULL\n"
              "ERROR CLog::Print(char *String, char *String2) String = NULL\n"
              "ERROR CLog::Print(char *String, char *String2) String2 = NULL\n"
              "ERROR CLog::Print(char *String, int i) String = NULL\n"
              "ERROR CLog::Print(char *String, DWORD d) String = NULL\n"
              "ERROR CLog::Print(char *String, float f) String = NULL\n");
}

TEST_F(LogTest, LinesLongerThan1023CharactersAreDropped)
{
    // A two-part line counts text, blank and second text; the number form alike.
    enum Form { kOne, kTwo, kInt };
    const struct { Form form; size_t n1, n2; bool bKept; } cases[] = {
        {kOne, 1023, 0, true},   {kOne, 1024, 0, false},  {kTwo, 500, 522, true},  {kTwo, 500, 523, false},
        {kTwo, 0, 1023, false},  {kInt, 1020, 0, true},   {kInt, 1021, 0, false}};
    CLog log(Dir().c_str());
    std::string expected;
    char c = 'a';
    for (const auto& k : cases)
    {
        const std::string s1(k.n1, c++), s2(k.n2, c++);
        if (k.form == kOne)
            log.Print(s1.c_str());
        else if (k.form == kTwo)
            log.Print(s1.c_str(), s2.c_str());
        else
            log.Print(s1.c_str(), -1);
        if (k.bKept)
            expected += s1 + (k.form == kOne ? "" : k.form == kTwo ? " " + s2 : " -1") + "\n";
    }
    EXPECT_EQ(Body(), expected);
    // No line, written or dropped, leaves the file open: Windows could not remove it.
    EXPECT_TRUE(fs::remove(File()));
}

// A log in the folder given (none: silent) that writes a line of each kind, the
// system answering every question.
void WriteEveryKind(const char* szFolder)
{
    g_Values["Software\\Microsoft\\Windows\\CurrentVersion|RegisteredOwner"] = "Owner";
    g_bMemory = true;
    CLog log(szFolder);
    log.Print("text");
    log.Print("text", "more");
    log.LogPcName();
    log.LogMemory();
}

// A working directory the player may not write (the install folder in Program
// Files) moves the log to the program's per-user folder; a folder that is
// writable keeps it, even when the file itself cannot be made.
TEST_F(LogTest, UnwritableWorkingDirectoryMovesTheLogToTheUserFolder)
{
    const std::string sMissing = Dir() + PATH_SEPARATOR + "not there";
    const std::string sUser = Dir() + PATH_SEPARATOR + "appdata" + PATH_SEPARATOR + "Tonquarry Multimedia Studios" +
                              PATH_SEPARATOR + "Tonquarry Guitar Tuner";
    const struct { bool bWorkingDirWritable; bool bAppData; const char* szExpected; } cases[] = {
        {false, true, "user folder"},
        {false, false, "none"},
        {true, true, "none"},  // Logfile.txt is a folder here: the file alone fails
    };
    for (const auto& c : cases)
    {
        fs::remove_all(Dir() + PATH_SEPARATOR + "appdata");
        fs::create_directories(Dir() + PATH_SEPARATOR + "appdata");
        if (c.bWorkingDirWritable)
            fs::create_directory(File());
        g_sDirectory = c.bWorkingDirWritable ? Dir() : sMissing;
        g_sAppData = c.bAppData ? Dir() + PATH_SEPARATOR + "appdata" : "";
        {
            CLog log;
            log.Print("line");
        }
        const std::string sUserLog = sUser + PATH_SEPARATOR + "Logfile.txt";
        std::string sText;
        for (const std::string& line : ReadTextLines(sUserLog))
            sText += line + "\n";
        if (std::string(c.szExpected) == "user folder")
            EXPECT_EQ(sText, "Tonquarry Logfile\n\nCLog::CLog() FileNameNPath : " + sUserLog +
                                 "\n\nCLog::CLog() the working directory is not writable:  " + sMissing + "\nline\n" +
                                 kFooter);
        else
            EXPECT_FALSE(fs::exists(sUser)) << c.szExpected;
        EXPECT_FALSE(fs::exists(sMissing));
        fs::remove_all(File());
    }
}

TEST_F(LogTest, FolderInPlaceOfTheFileIsNotFatal)
{
    fs::create_directory(File());
    WriteEveryKind(Dir().c_str());
    EXPECT_TRUE(fs::is_directory(File()));
    EXPECT_TRUE(fs::is_empty(File()));
}

TEST_F(LogTest, SilentLogWritesNothing)
{
    const fs::path old = fs::current_path();
    fs::current_path(m_Dir);
    WriteEveryKind(nullptr);
    fs::current_path(old);
    EXPECT_TRUE(fs::is_empty(m_Dir));
}

TEST_F(LogTest, SystemReportWritesWhatTheSystemAnswersInStartUpOrder)
{
    g_ullMemory[0] = (8ull << 30) + 1023;  // past 32 bits; the odd bytes round down
    g_ullMemory[1] = 16ull << 40;          // 2^34 KB: more than "%d" can print
    const std::map<std::string, std::string> answers = {
        {"Software\\Microsoft\\Windows\\CurrentVersion|RegisteredOwner", "Jo Bloggs"},
        {"Software\\Microsoft\\Windows\\CurrentVersion|VersionNumber", "4.10.2222"},
        {kNtVersion, "6.1"},
        {"Hardware\\Description\\System\\CentralProcessor\\0|ProcessorNameString", "Pentium III"},
        {"Software\\Microsoft\\DirectX|Version", "4.09.00.0904"}};
    CLog log(Dir().c_str());
    for (int iAnswered : {0, 1})  // a missing value writes nothing and returns 0
    {
        g_Values = iAnswered ? answers : std::map<std::string, std::string>();
        g_bMemory = iAnswered != 0;
        EXPECT_EQ(log.LogPcName(), iAnswered);
        EXPECT_EQ(log.LogWindowsVersion(), iAnswered);
        EXPECT_EQ(log.LogCpuName(), iAnswered);
        EXPECT_EQ(log.LogDirectXVersion(), iAnswered);
        log.LogMemory();
    }
    EXPECT_EQ(Body(),
              "PC name    :  Jo Bloggs\n"
              "Windows version number :  4.10.2222\n"
              "CPU name :  Pentium III\n"
              "DX version :  4.09.00.0904\n"
              "System memory available : 8388608 KB\n"
              "Total system memory     : 2147483647 KB\n");
    EXPECT_EQ(g_iWindowsMajorVersion, 0);  // only the NT line, read when the first is missing, sets it
}

TEST_F(LogTest, NtVersionIsTheFallbackAndGivesTheMajorNumber)
{
    const struct { const char* szVersion; int iMajor; } cases[] = {{"5.1", 5}, {"10.0", 10}, {"x.y", 0}};
    CLog log(Dir().c_str());
    std::string expected;
    for (const auto& c : cases)
    {
        g_Values[kNtVersion] = c.szVersion;
        g_iWindowsMajorVersion = -1;
        EXPECT_EQ(log.LogWindowsVersion(), 1) << c.szVersion;
        EXPECT_EQ(g_iWindowsMajorVersion, c.iMajor) << c.szVersion;
        expected += std::string("Windows NT version number :  ") + c.szVersion + "\n";
    }
    EXPECT_EQ(Body(), expected);
}

TEST(Platform, MemoryIsPlausibleAndTheClockCountsMilliseconds)
{
    const SystemQuery q = PlatformSystemQuery();
    unsigned long long ullAvailable = 0, ullTotal = 0;
    ASSERT_EQ(q.ReadMemory(&ullAvailable, &ullTotal), 1);
    EXPECT_GT(ullAvailable, 0u);
    EXPECT_LE(ullAvailable, ullTotal);

    // Against the standard clock around it, so a busy machine cannot fail it: the
    // system timer may step in units of up to about 16 ms.
    const auto start = std::chrono::steady_clock::now();
    const DWORD dwStart = TimeMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const DWORD dwElapsed = TimeMs() - dwStart;  // unsigned: right across a wrap
    const auto around = std::chrono::steady_clock::now() - start;
    EXPECT_GE(dwElapsed, 80u);
    EXPECT_LE(dwElapsed, static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(around).count() + 20));
}

} // namespace
