// Where the settings live: UTF-8 paths (conversions, files by UTF-8 name), the
// choice of the settings file's home, a player without the right to write into
// the install folder keeping the settings from one run to the next, and the
// player told when no place takes them.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "app/InstallPath.h"
#include "app/Settings.h"
#include "app/SettingsHome.h"
#include "base/FileOpen.h"
#include "base/SystemQuery.h"
#include "base/UserFolder.h"
#include "base/Utf8.h"
#include "dsp/StreamParams.h"
#include "tests/TestSupport.h"

namespace {

const std::string kSep(1, PATH_SEPARATOR);
// "Tuner" in Cyrillic and in Chinese, as UTF-8 bytes.
const std::string kCyrillic = "\xD0\xA2\xD1\x8E\xD0\xBD\xD0\xB5\xD1\x80";
const std::string kChinese = "\xE8\xB0\x83\xE9\x9F\xB3\xE5\x99\xA8";

TEST(Utf8Paths, ConversionsKeepEveryNameAndMarkBrokenBytes)
{
    const struct { std::string s8; std::u16string s16; bool bRoundTrip; } cases[] = {
        {"C:\\Program Files\\x", u"C:\\Program Files\\x", true},
        {kCyrillic + " " + kChinese, u"\u0422\u044e\u043d\u0435\u0440 \u8c03\u97f3\u5668", true},
        {"\xC3\xA9\xF0\x9F\x8E\xB8", u"\u00e9\U0001F3B8", true},          // a pair of surrogates
        {"a\xED\xA0\x80z", std::u16string{u'a', char16_t(0xD800), u'z'}, true},  // a lone one, as Windows allows
        {"\xFF\xC3(\xE0\x80\x80", u"\uFFFD\uFFFD(\uFFFD\uFFFD\uFFFD", false},  // not UTF-8; overlong
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},                // past U+10FFFF
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(Utf8ToUtf16(c.s8), c.s16) << c.s8;
        EXPECT_EQ(Utf16Length(c.s8), c.s16.size()) << c.s8;
        if (c.bRoundTrip)
        {
            EXPECT_EQ(Utf16ToUtf8(c.s16), c.s8);
        }
    }
}

// A folder and a file named in two scripts, made, written, read and removed
// through the UTF-8 calls (under Wine: the wide Windows calls).
TEST(Utf8Paths, FilesOpenByTheirUtf8Names)
{
    const std::string sFolder = std::string(TestLogDirectory()) + kSep + kCyrillic + " " + kChinese;
    ASSERT_TRUE(MakeFolder(sFolder.c_str()));
    EXPECT_TRUE(MakeFolder(sFolder.c_str()));  // already there
    const std::string sFile = JoinPath(sFolder, kChinese + ".txt");
    std::FILE* f = OpenFile(sFile.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("48000\n", f);
    std::fclose(f);
    EXPECT_TRUE(FolderWritable(sFolder));
    f = OpenFile(sFile.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char szLine[16] = {};
    EXPECT_TRUE(std::fgets(szLine, sizeof(szLine), f) && std::string(szLine) == "48000\n");
    std::fclose(f);
    EXPECT_TRUE(RemoveFile(sFile.c_str()));
    EXPECT_EQ(OpenFile(sFile.c_str(), "r"), nullptr);
    EXPECT_FALSE(FolderWritable(sFolder + kSep + "missing"));
    EXPECT_FALSE(MakeFolder((sFolder + kSep + "missing" + kSep + "deeper").c_str()));
}

// The file system of one case: the files that exist and the folders writable.
std::set<std::string> g_Files;
std::set<std::string> g_Writable;
bool FakeExists(const std::string& s) { return g_Files.count(s) != 0; }
bool FakeWritable(const std::string& s) { return g_Writable.count(s) != 0; }

TEST(SettingsHome, TheUserFolderWhenItHoldsTheFileElseTheWritableInstallFolder)
{
    const std::string kInstall = "C:\\Program Files\\T", kUser = "U", kStore = "V";
    const std::string kInstallFile = kInstall + kSep + "Settings.dat";
    const std::string kUserFile = kUser + kSep + "Settings.dat", kStoreFile = kStore + kSep + "Settings.dat";
    const struct { const char* szCase; std::string sUser, sStore; std::set<std::string> files, writable;
                   std::string sHome, sRead; } cases[] = {
        {"administrator, or Windows XP", kUser, kStore, {kInstallFile}, {kInstall}, kInstall, kInstallFile},
        {"the user folder's file comes first", kUser, kStore, {kUserFile, kInstallFile, kStoreFile}, {kInstall},
         kUser, kUserFile},
        {"no rights: the VirtualStore copy", kUser, kStore, {kInstallFile, kStoreFile}, {}, kUser, kStoreFile},
        {"no rights, no VirtualStore copy", kUser, kStore, {kInstallFile}, {}, kUser, kInstallFile},
        {"no rights, no VirtualStore folder", kUser, "", {}, {}, kUser, kInstallFile},
        {"no user folder on the system", "", kStore, {kStoreFile}, {}, kInstall, kInstallFile},
    };
    for (const auto& c : cases)
    {
        g_Files = c.files;
        g_Writable = c.writable;
        const SettingsHome home = ChooseSettingsHome({kInstall, c.sUser, c.sStore}, {&FakeExists, &FakeWritable});
        EXPECT_EQ(home.sFolder, c.sHome) << c.szCase;
        EXPECT_EQ(home.sReadFile, c.sRead) << c.szCase;
    }
}

TEST(SettingsHome, VirtualStoreMirrorsTheFolderWithoutItsDrive)
{
    const std::string kLocal = "C:\\Users\\P\\AppData\\Local";
    const std::string kStore = JoinPath(kLocal, "VirtualStore");
    const struct { std::string sLocal, sFolder, sExpected; } cases[] = {
        {kLocal, "C:\\Program Files\\T " + kChinese, JoinPath(kStore, "Program Files\\T " + kChinese)},
        {kLocal, "d:/Games/T", JoinPath(kStore, "Games/T")},
        {kLocal, "C:\\", kStore},
        {kLocal, "\\\\server\\share\\T", ""},  // network folders are never redirected
        {kLocal, "T", ""},
        {"", "C:\\Program Files\\T", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VirtualStoreFolder(c.sLocal, c.sFolder), c.sExpected) << c.sFolder;
}

// The program's runs with the system's folders of this test: an install folder
// the player cannot write (it does not exist here, which no right can change)
// and a per-user application-data folder named in two scripts.
std::string g_sInstall;
std::string g_sAppData;
InstallPathRead FakeInstallPath(char* szOut, int iSize)
{
    if (g_sInstall.size() >= static_cast<size_t>(iSize))
        return InstallPathRead::TooLong;
    std::memcpy(szOut, g_sInstall.c_str(), g_sInstall.size() + 1);
    return InstallPathRead::Found;
}
int FakeKnownFolder(int iFolder, char* szOut, int iSize)
{
    if (iFolder != kAppDataFolder || g_sAppData.size() >= static_cast<size_t>(iSize))
        return 0;
    std::memcpy(szOut, g_sAppData.c_str(), g_sAppData.size() + 1);
    return 1;
}

// The file's text with "\n" line ends, as the text-mode writer meant them.
std::string FileText(const std::string& sFile)
{
    std::string s;
    if (std::FILE* f = OpenFile(sFile.c_str(), "rb"))
    {
        char sz[256];
        const size_t n = std::fread(sz, 1, sizeof(sz), f);
        std::fclose(f);
        for (size_t i = 0; i < n; ++i)
            if (sz[i] != '\r')
                s.push_back(sz[i]);
    }
    return s;
}

// Puts the program's platform answers back however the test ends.
struct RestoreSystem
{
    InstallPathReader pReader = g_pReadInstallPath;
    SystemQuery query = g_SystemQuery;
    ~RestoreSystem()
    {
        g_pReadInstallPath = pReader;
        g_SystemQuery = query;
        CSettings::Apply(SettingsValues());
        g_fSamplingFreq = 48000.0f;
        g_iBlockSize = 1200;
    }
};

TEST(SettingsHome, APlayerWithoutRightsKeepsTheSettingsInTheUserFolder)
{
    const RestoreSystem restore;
    const std::string sRoot = std::string(TestLogDirectory()) + kSep + "rights " + kCyrillic;
    ASSERT_TRUE(MakeFolder(sRoot.c_str()));
    g_sAppData = sRoot + kSep + kChinese;
    ASSERT_TRUE(MakeFolder(g_sAppData.c_str()));
    g_sInstall = sRoot + kSep + "Program Files";
    g_pReadInstallPath = &FakeInstallPath;
    g_SystemQuery.ReadKnownFolder = &FakeKnownFolder;
    const std::string sUserFile =
        JoinPath(JoinPath(JoinPath(g_sAppData, "Tonquarry Multimedia Studios"), "Tonquarry Guitar Tuner"), "Settings.dat");

    CSettings settings;
    CSettings::Apply(SettingsValues{96000, 600, 0, 2, 3, 1, 5, {}, {}, kDefaultReferenceTenths, {}});
    g_fSamplingFreq = 96000.0f;
    g_iBlockSize = 600;
    EXPECT_EQ(settings.SaveSettings(), 1);
    EXPECT_EQ(FileText(sUserFile), WriteSettingsText(CSettings::Current()));
    CSettings::Apply(SettingsValues());
    EXPECT_EQ(settings.LoadSettings(), 1);
    EXPECT_EQ(WriteSettingsText(CSettings::Current()), "96000\n600\n0\n2\n3\n1\n5\n");
    EXPECT_EQ(CountLogLines("LoadSettings() settings folder :  " + JoinPath(JoinPath(g_sAppData,
              "Tonquarry Multimedia Studios"), "Tonquarry Guitar Tuner")), 1);

    // Now writable, the install folder still leaves the settings where they are.
    ASSERT_TRUE(MakeFolder(g_sInstall.c_str()));
    g_iBlockSize = 300;
    EXPECT_EQ(settings.SaveSettings(), 1);
    EXPECT_EQ(FileText(sUserFile), "96000\n300\n0\n2\n3\n1\n5\n");
    EXPECT_EQ(FileText(JoinPath(g_sInstall, "Settings.dat")), "");

    // A writable install folder whose file cannot be written: the user folder
    // takes the settings rather than losing them.
    ASSERT_TRUE(RemoveFile(sUserFile.c_str()));
    ASSERT_TRUE(MakeFolder(JoinPath(g_sInstall, "Settings.dat").c_str()));
    g_iBlockSize = 150;
    EXPECT_EQ(settings.SaveSettings(), 1);
    EXPECT_EQ(FileText(sUserFile), "96000\n150\n0\n2\n3\n1\n5\n");
    EXPECT_EQ(settings.TakeFailureNotice(true), "");

    // Nor can the per-user folder be made (a file holds its place): the player
    // hears of the first place tried, the install folder's file; only once.
    g_sAppData = sRoot + kSep + "blocked";
    ASSERT_TRUE(MakeFolder(g_sAppData.c_str()));
    std::FILE* f = OpenFile(JoinPath(g_sAppData, "Tonquarry Multimedia Studios").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const std::string sBlockedLine = "SaveSettings() FAILED to write " +
        JoinPath(JoinPath(JoinPath(g_sAppData, "Tonquarry Multimedia Studios"), "Tonquarry Guitar Tuner"),
                 "Settings.dat") + ": its folder cannot be made";
    const int iBefore = CountLogLines(sBlockedLine);
    EXPECT_EQ(settings.SaveSettings(), 0);
    const std::string sNotice = settings.TakeFailureNotice(true);
    EXPECT_EQ(sNotice.rfind("Your audio settings cannot be saved to " + JoinPath(g_sInstall, "Settings.dat") + " (", 0),
              0u) << sNotice;
    EXPECT_NE(sNotice.find("). The tuner will start without them next time."), std::string::npos) << sNotice;
    // The install folder gone as well: the per-user folder is the first place now.
    g_sInstall = sRoot + kSep + "gone";
    EXPECT_EQ(settings.SaveSettings(), 0);
    EXPECT_EQ(settings.TakeFailureNotice(true), "");
    EXPECT_EQ(CountLogLines(sBlockedLine), iBefore + 2);
}

} // namespace
