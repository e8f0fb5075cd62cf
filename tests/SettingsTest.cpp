// The settings file: range rules line by line, the written text, the install path
// (found, missing, too long), a load and save through a real file, and saves that
// find no place to write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/InstallPath.h"
#include "app/Settings.h"
#include "audio/AudioGlobals.h"
#include "base/SystemQuery.h"
#include "base/UserFolder.h"
#include "dsp/StreamParams.h"
#include "panel/XEffects.h"
#include "tests/TestSupport.h"

namespace {

namespace fs = std::filesystem;

SettingsValues Read(const std::string& text)
{
    return ReadSettingsText(text.data(), text.size(), SettingsValues());
}

std::string Values(const SettingsValues& v)
{
    std::string s = WriteSettingsText(v);
    for (char& c : s)
        if (c == '\n')
            c = ' ';
    return s.substr(0, s.size() - 1);
}

TEST(SettingsText, EachLineByItsRangeRule)
{
    const struct { std::string sFile; const char* szExpected; } cases[] = {
        {"", "48000 1200 1 0 0 0 0"},
        {"12000\n25\n0\n9\n9\n1\n5\n", "12000 25 0 9 9 1 5"},
        {"192000\n2000\n1\n0\n0\n-3\n0\n", "192000 2000 1 0 0 -3 0"},
        {"11999\n24\n2\n10\n-1\n0\n0\n", "48000 1200 1 0 0 0 0"},
        {"192001\n2001\n-1\n-1\n10\n0\n0\n", "48000 1200 1 0 0 0 0"},
        {"44100\n256\n0\n", "44100 256 0 0 0 0 0"},              // only three lines
        {" 96000\t\r\n 100 \r\n0\r\n1\r\n2\r\n1\r\n7\r\n", "96000 100 0 1 2 1 7"},  // any whitespace
        {"24000\nabc\n0\n1\n", "24000 1200 1 0 0 0 0"},          // reading stops at text
        {"24000\n99999999999\n0\n", "24000 1200 1 0 0 0 0"},     // too large for an int
        {"48000 1200 1 0 0 0 -1", "48000 1200 1 0 0 0 4294967295"},
        {"48000 1200 1 0 0 0 4294967296", "48000 1200 1 0 0 0 0"},
        {"36000x 512", "36000 1200 1 0 0 0 0"},
        {std::string("44100\0" "500", 9), "44100 1200 1 0 0 0 0"},  // bytes after a NUL are not read
        {"\xEF\xBB\xBF" "44100\r\n256\r\n", "44100 256 1 0 0 0 0"},   // Notepad's UTF-8 byte-order mark
        {"\xEF\xBB" "44100\n256\n", "48000 1200 1 0 0 0 0"},        // half a mark is text
        {"44100\n\xEF\xBB\xBF" "256\n", "44100 1200 1 0 0 0 0"},     // and so is one further on
    };
    for (const auto& c : cases)
        EXPECT_EQ(Values(Read(c.sFile)), c.szExpected) << "file: " << c.sFile;
}

TEST(SettingsText, LinesAfterTheSeventhAreNamesAndValues)
{
    const std::string kSeven = "48000\n1200\n3\n0\n0\n0\n0\n";
    const struct { std::string sFile; const char* szCapture; const char* szRender; const char* szOther; const char* szSkipped; } cases[] = {
        {kSeven, "", "", "", ""},
        {kSeven + "wasapi_capture={0.0.1.00000000}.{5e1f}\r\n\r\n wasapi_render = {0.0.0.1} \r\n", "{0.0.1.00000000}.{5e1f}",
         "{0.0.0.1}", "", ""},
        // A later version's line is kept as it is, and said to be unknown.
        {kSeven + "reference_hz=442.0\nwasapi_render=r\n", "", "r", "reference_hz=442.0",
         "line 8: \"reference_hz\" is not known here; kept as it is|"},
        {kSeven + "wasapi_capture\n=x\nbad name=1\nwasapi_render=a\tb\nwasapi_capture=" + std::string(600, 'x') + "\n",
         "", "", "",
         "line 8: no '='|line 9: no name, or a name too long|line 10: a name of other than letters, digits, '_', '.' "
         "and '-'|line 11: a control character in the value|line 12: a value too long|"},
        {"48000\n1200\n1\n0\n0\n0\n0 junk\nwasapi_render=r\n", "", "r", "", "line 7: text after the number|"},
        // Only after all seven numbers.
        {"44100\n256\nwasapi_capture=x\n", "", "", "", ""},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> asSkipped;
        const SettingsValues v = ReadSettingsText(c.sFile.data(), c.sFile.size(), SettingsValues(), &asSkipped);
        std::string sOther, sSkipped;
        for (const std::string& s : v.asOtherLines)
            sOther += s;
        for (const std::string& s : asSkipped)
            sSkipped += s + "|";
        EXPECT_EQ(std::make_tuple(v.sCaptureEndpoint, v.sRenderEndpoint, sOther, sSkipped),
                  std::make_tuple(std::string(c.szCapture), std::string(c.szRender), std::string(c.szOther),
                                  std::string(c.szSkipped)))
            << "file: " << c.sFile;
        // What is written reads back the same.
        const std::string sWritten = WriteSettingsText(v);
        const SettingsValues w = ReadSettingsText(sWritten.data(), sWritten.size(), SettingsValues());
        EXPECT_EQ(std::make_tuple(Values(w), w.sCaptureEndpoint, w.sRenderEndpoint, w.asOtherLines),
                  std::make_tuple(Values(v), v.sCaptureEndpoint, v.sRenderEndpoint, v.asOtherLines));
    }
    EXPECT_EQ(Values(Read(kSeven)), "48000 1200 3 0 0 0 0");  // the Windows-audio driver
}

std::string g_sInstallPath;
InstallPathRead g_eInstallRead = InstallPathRead::Found;

InstallPathRead FakeInstallPath(char* szOut, int iSize)
{
    if (g_eInstallRead != InstallPathRead::Found)
        return g_eInstallRead;
    if (g_sInstallPath.size() >= static_cast<size_t>(iSize))
        return InstallPathRead::TooLong;
    std::memcpy(szOut, g_sInstallPath.c_str(), g_sInstallPath.size() + 1);
    return InstallPathRead::Found;
}

int NoKnownFolder(int, char*, int) { return 0; }

class SettingsFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Saved = g_pReadInstallPath;
        g_pReadInstallPath = &FakeInstallPath;
        // No per-user folder: these runs keep to the install folder, and a real
        // one (under Wine) must not take the settings of a test.
        m_SavedQuery = g_SystemQuery;
        g_SystemQuery.ReadKnownFolder = &NoKnownFolder;
        m_Dir = fs::path(TestLogDirectory()) / "install";
        fs::create_directories(m_Dir);
        fs::remove(File());
        g_sInstallPath = m_Dir.string();
        g_eInstallRead = InstallPathRead::Found;
        CSettings::Apply(SettingsValues());
        g_fSamplingFreq = 48000.0f;
        g_iBlockSize = 1200;
        g_XEffects.g_iAnalyserSetting = 1;  // the panel's own start value
    }
    void TearDown() override
    {
        g_pReadInstallPath = m_Saved;
        g_SystemQuery = m_SavedQuery;
        CSettings::Apply(SettingsValues());
    }

    fs::path File() const { return m_Dir / "Settings.dat"; }
    std::string FileText() const
    {
        std::ifstream in(File(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void WriteFile(const std::string& text) const { std::ofstream(File(), std::ios::binary) << text; }

    InstallPathReader m_Saved = nullptr;
    SystemQuery m_SavedQuery = {};
    fs::path m_Dir;
};

TEST_F(SettingsFile, NoFileGivesTheDefaultsAndSavingWritesThem)
{
    CSettings settings;
    EXPECT_EQ(settings.LoadSettings(), 1);
    EXPECT_EQ(Values(CSettings::Current()), "48000 1200 1 0 0 0 0");
    EXPECT_EQ(settings.SaveSettings(), 1);
    EXPECT_EQ(Values(Read(FileText())), "48000 1200 1 0 0 0 0");
    EXPECT_EQ(CountLogLines("GetInstallPath() InstallPath :  " + m_Dir.string()), 2);
}

TEST_F(SettingsFile, LoadedValuesReachTheGlobalsAndAreWrittenBack)
{
    WriteFile("96000\n600\n0\n2\n3\n1\n5\n");
    CSettings settings;
    ASSERT_EQ(settings.LoadSettings(), 1);
    EXPECT_EQ(std::make_tuple(g_fRequestedSamplingFreq, g_fSamplingFreq, g_iRequestedBlockSize),
              std::make_tuple(96000.0f, 96000.0f, 600));
    EXPECT_EQ(std::make_tuple(g_iAudioDriver, g_iConfirmedAudioDriver, g_iCaptureDevice, g_iRenderDevice,
                              g_iInputChannels.load(), g_XEffects.g_iAnalyserSetting),
              std::make_tuple(0, 0, 2, 3, 1, 5u));
    // Line 2 is written from the block size in use, line 1 from the rate in use.
    g_iBlockSize = 512;
    g_fSamplingFreq = 44100.7f;
    ASSERT_EQ(settings.SaveSettings(), 1);
    EXPECT_EQ(Values(Read(FileText())), "44100 512 0 2 3 1 5");
}

TEST_F(SettingsFile, NamedLinesReachTheGlobalsAndAreWrittenBack)
{
    WriteFile("48000\r\n1200\r\n3\r\n0\r\n0\r\n0\r\n0\r\nwasapi_capture={in}\r\nlater=1\r\noops\r\n");
    CSettings settings;
    ASSERT_EQ(settings.LoadSettings(), 1);
    EXPECT_EQ(std::make_tuple(g_iAudioDriver, g_sCaptureEndpoint, g_sRenderEndpoint),
              std::make_tuple(3, std::string("{in}"), std::string()));
    EXPECT_EQ(CountLogLines("LoadSettings() skipped line 10: no '='"), 1);
    ASSERT_EQ(settings.SaveSettings(), 1);
    std::string sText = FileText();
    sText.erase(std::remove(sText.begin(), sText.end(), '\r'), sText.end());  // a text-mode file's line ends
    EXPECT_EQ(sText, "48000\n1200\n3\n0\n0\n0\n0\nwasapi_capture={in}\nlater=1\n");
}

TEST_F(SettingsFile, WithoutAnInstallPathNothingIsReadOrWritten)
{
    const struct { InstallPathRead eRead; std::string sPath; const char* szLogLine; } cases[] = {
        {InstallPathRead::KeyMissing, "", "GetInstallPath() no install path Found"},
        {InstallPathRead::QueryFailed, "", "GetInstallPath() RegQueryValueEx() FAILED"},
        {InstallPathRead::TooLong, "", "GetInstallPath() install path too long FAILED"},
        // Fits the buffer, but not with "/Settings.dat" appended.
        {InstallPathRead::Found, m_Dir.string() + "/" + std::string(250 - m_Dir.string().size(), 'x'),
         "GetInstallPath() install path too long FAILED, length =  251"},
    };
    for (const auto& c : cases)
    {
        WriteFile("96000\n600\n0\n2\n3\n1\n5\n");
        g_eInstallRead = c.eRead;
        g_sInstallPath = c.sPath;
        const int iBefore = CountLogLines(c.szLogLine);
        CSettings settings;
        EXPECT_EQ(settings.LoadSettings(), 0);
        EXPECT_EQ(Values(CSettings::Current()), "48000 1200 1 0 0 0 0");
        g_iBlockSize = 100;
        EXPECT_EQ(settings.SaveSettings(), 0);
        g_iBlockSize = 1200;
        EXPECT_EQ(CountLogLines(c.szLogLine), iBefore + 2) << c.szLogLine;
        EXPECT_EQ(FileText(), "96000\n600\n0\n2\n3\n1\n5\n");
    }
}

// Each failed save is logged with the C library's reason; the player is told of
// the first one of the run only, whatever succeeds or fails after it.
TEST_F(SettingsFile, AFailedSaveIsLoggedWithWhyAndToldOnce)
{
    fs::create_directories(m_Dir / "blocked" / "Settings.dat");
    std::ofstream(m_Dir / "a file") << "x";
#if defined(_WIN32)
    const int kFolderError = EACCES, kThroughFileError = ENOENT;
#else
    const int kFolderError = EISDIR, kThroughFileError = ENOTDIR;
#endif
    const struct { const char* szCase; fs::path install; int iError; bool bTold; } cases[] = {
        {"a folder named Settings.dat", m_Dir / "blocked", kFolderError, true},
        {"written", m_Dir, 0, false},
        {"no install folder", m_Dir / "no such folder", ENOENT, false},
        {"a file for the install folder", m_Dir / "a file", kThroughFileError, false},
    };
    CSettings settings;
    for (const auto& c : cases)
    {
        g_sInstallPath = c.install.string();
        const std::string sFile = JoinPath(g_sInstallPath, "Settings.dat");
        const std::string sLine = "SaveSettings() FAILED to write " + sFile + ": " + std::strerror(c.iError);
        const int iBefore = CountLogLines(sLine);
        EXPECT_EQ(settings.SaveSettings(), c.iError ? 0 : 1) << c.szCase;
        EXPECT_EQ(CountLogLines(sLine), iBefore + (c.iError ? 1 : 0)) << c.szCase << ": " << sLine;
        const std::string sNotice = settings.TakeFailureNotice(false);
        EXPECT_EQ(sNotice, !c.bTold ? "" : "Your audio settings cannot be saved to " + sFile + " (" +
                  std::strerror(c.iError) + "). The tuner keeps working with them until you close it.") << c.szCase;
    }
    EXPECT_FALSE(fs::exists(m_Dir / "no such folder"));
}

} // namespace
