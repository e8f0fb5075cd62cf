#include "app/Settings.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "app/InstallPath.h"
#include "app/SettingsHome.h"
#include "audio/AudioGlobals.h"
#include "base/FileOpen.h"
#include "base/Log.h"
#include "base/UserFolder.h"
#include "dsp/StreamParams.h"
#include "panel/XEffects.h"

CSettings g_Settings;
int g_bFirstRun = 0;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Reads one decimal number as a "%d" or "%u" conversion would, without the
// undefined results of a number out of range.
class CNumberReader
{
public:
    CNumberReader(const char* p, std::size_t n) : m_p(p), m_pEnd(p + n) {}

    bool ReadInt(int& iOut)
    {
        long long ll = 0;
        if (!Read(ll, INT_MAX, 1LL + INT_MAX))
            return false;
        iOut = static_cast<int>(ll);
        return true;
    }

    // A leading minus wraps around, as the conversion does ("-1" is 4294967295).
    bool ReadUnsigned(unsigned& uOut)
    {
        long long ll = 0;
        if (!Read(ll, UINT_MAX, UINT_MAX))
            return false;
        uOut = static_cast<unsigned>(ll);
        return true;
    }

private:
    // llMax and llNegativeMax bound the magnitude without and with a minus.
    bool Read(long long& llOut, long long llMax, long long llNegativeMax)
    {
        if (m_bStopped)
            return false;
        while (m_p < m_pEnd && std::isspace(static_cast<unsigned char>(*m_p)))
            ++m_p;
        bool bNegative = false;
        if (m_p < m_pEnd && (*m_p == '-' || *m_p == '+'))
            bNegative = *m_p++ == '-';
        long long llValue = 0;
        bool bDigits = false;
        while (m_p < m_pEnd && *m_p >= '0' && *m_p <= '9')
        {
            llValue = llValue * 10 + (*m_p++ - '0');
            bDigits = true;
            if (llValue > llNegativeMax + 1)
                return Stop();
        }
        if (!bDigits || (!bNegative && llValue > llMax) || (bNegative && llValue > llNegativeMax))
            return Stop();
        llOut = bNegative ? -llValue : llValue;
        return true;
    }

    bool Stop()
    {
        m_bStopped = true;
        return false;
    }

    const char* m_p;
    const char* m_pEnd;
    bool m_bStopped = false;
};

} // namespace

SettingsValues ReadSettingsText(const char* pData, std::size_t nSize, const SettingsValues& current)
{
    SettingsValues read = current;
    if (!pData)
        nSize = 0;
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    if (nSize >= 3 && std::memcmp(pData, kByteOrderMark, 3) == 0)
    {
        pData += 3;
        nSize -= 3;
    }
    CNumberReader reader(pData, nSize);
    reader.ReadInt(read.iSamplingFreq) && reader.ReadInt(read.iBlockSize) && reader.ReadInt(read.iAudioDriver) &&
        reader.ReadInt(read.iCaptureDevice) && reader.ReadInt(read.iRenderDevice) &&
        reader.ReadInt(read.iInputChannels) && reader.ReadUnsigned(read.uAnalyserSetting);

    // Each value by its own rule; a refused one keeps what was there.
    SettingsValues result = current;
    if (read.iSamplingFreq >= 12000 && read.iSamplingFreq <= 192000)
        result.iSamplingFreq = read.iSamplingFreq;
    if (read.iBlockSize >= 25 && read.iBlockSize <= 2000)
        result.iBlockSize = read.iBlockSize;
    if (read.iAudioDriver == 0 || read.iAudioDriver == 1)
        result.iAudioDriver = read.iAudioDriver;
    if (static_cast<unsigned>(read.iCaptureDevice) < 10)
        result.iCaptureDevice = read.iCaptureDevice;
    if (static_cast<unsigned>(read.iRenderDevice) < 10)
        result.iRenderDevice = read.iRenderDevice;
    result.iInputChannels = read.iInputChannels;
    result.uAnalyserSetting = read.uAnalyserSetting;
    return result;
}

std::string WriteSettingsText(const SettingsValues& v)
{
    char szText[128];
    std::snprintf(szText, sizeof(szText), "%d\n%d\n%d\n%d\n%d\n%d\n%u\n", v.iSamplingFreq, v.iBlockSize, v.iAudioDriver,
                  v.iCaptureDevice, v.iRenderDevice, v.iInputChannels, v.uAnalyserSetting);
    return szText;
}

SettingsValues CSettings::Current()
{
    SettingsValues v;
    v.iSamplingFreq = static_cast<int>(g_fSamplingFreq);
    v.iBlockSize = g_iBlockSize;
    v.iAudioDriver = g_iAudioDriver;
    v.iCaptureDevice = g_iCaptureDevice;
    v.iRenderDevice = g_iRenderDevice;
    v.iInputChannels = g_iInputChannels.load(kRelaxed);
    v.uAnalyserSetting = g_XEffects.g_iAnalyserSetting;
    return v;
}

void CSettings::Apply(const SettingsValues& v)
{
    g_fSamplingFreq = static_cast<float>(v.iSamplingFreq);
    g_fRequestedSamplingFreq = static_cast<float>(v.iSamplingFreq);
    g_iRequestedBlockSize = v.iBlockSize;
    g_iAudioDriver = v.iAudioDriver;
    g_iConfirmedAudioDriver = v.iAudioDriver;
    g_iCaptureDevice = v.iCaptureDevice;
    g_iRenderDevice = v.iRenderDevice;
    g_iInputChannels.store(v.iInputChannels, kRelaxed);
    g_XEffects.g_iAnalyserSetting = v.uAnalyserSetting;
}

namespace {

// The C library's words for why a call failed.
std::string ErrorText(int iError)
{
    return iError ? std::strerror(iError) : "unknown error";
}

// Empty when written, else why not.
std::string WriteSettingsFile(const std::string& sFile)
{
    errno = 0;
    std::FILE* f = OpenFile(sFile.c_str(), "w");
    if (!f)
        return ErrorText(errno);
    const std::string sText = WriteSettingsText(CSettings::Current());
    errno = 0;
    const bool bWritten = std::fwrite(sText.data(), 1, sText.size(), f) == sText.size();
    int iError = errno;
    const bool bClosed = std::fclose(f) == 0;
    if (!iError)
        iError = errno;
    return bWritten && bClosed ? std::string() : ErrorText(iError);
}

} // namespace

const char kSettingsNotSavedCaption[] = "Settings not saved";

int CSettings::LoadSettings()
{
    // The panel starts its analyser word at 1; the file's default is 0, and a run
    // without a file writes the defaults back.
    g_XEffects.g_iAnalyserSetting = SettingsValues().uAnalyserSetting;
    char szInstallPath[kInstallPathSize];
    if (!GetInstallPath(szInstallPath))
        return 0;
    const SettingsHome home = ChooseSettingsHome(PlatformSettingsPlaces(szInstallPath), FileSystemProbes());
    g_Log.Print("LoadSettings() settings folder : ", home.sFolder.c_str());
    if (home.sReadFile != JoinPath(home.sFolder, kSettingsFileName))
        g_Log.Print("LoadSettings() reading : ", home.sReadFile.c_str());
    std::FILE* f = OpenFile(home.sReadFile.c_str(), "r");
    if (!f)
        return 1;
    // Seven numbers need little room; a larger file is read no further.
    char szData[4096];
    const std::size_t nRead = std::fread(szData, 1, sizeof(szData), f);
    std::fclose(f);
    Apply(ReadSettingsText(szData, nRead, SettingsValues()));
    return 1;
}

int CSettings::SaveSettings()
{
    m_sFailedFile.clear();
    m_sFailure.clear();
    char szInstallPath[kInstallPathSize];
    if (!GetInstallPath(szInstallPath))
        return 0;
    const SettingsPlaces places = PlatformSettingsPlaces(szInstallPath);
    const std::string sHome = ChooseSettingsHome(places, FileSystemProbes()).sFolder;
    // A file the install folder no longer takes (made read-only, or the folder
    // writable but the file not) goes to the per-user folder rather than being
    // lost; it is read from there from the next start on.
    std::string asFolders[2] = {sHome};
    if (!places.sUserFolder.empty() && sHome != places.sUserFolder)
        asFolders[1] = places.sUserFolder;
    for (const std::string& sFolder : asFolders)
    {
        if (sFolder.empty())
            break;
        const std::string sFile = JoinPath(sFolder, kSettingsFileName);
        // The per-user folder is made when it is first needed.
        const std::string sWhy = sFolder == places.sUserFolder && ProgramUserFolder(true).empty()
                                     ? "its folder cannot be made"
                                     : WriteSettingsFile(sFile);
        if (sWhy.empty())
        {
            g_Log.Print("SaveSettings() settings folder : ", sFolder.c_str());
            m_sFailedFile.clear();
            m_sFailure.clear();
            return 1;
        }
        if (m_sFailedFile.empty())
        {
            m_sFailedFile = sFile;
            m_sFailure = sWhy;
        }
        g_Log.Print(("SaveSettings() FAILED to write " + sFile + ": " + sWhy).c_str());
    }
    return 0;
}

std::string CSettings::TakeFailureNotice(bool bClosing)
{
    if (m_sFailedFile.empty() || m_bPlayerTold)
        return std::string();
    m_bPlayerTold = true;
    return "Your audio settings cannot be saved to " + m_sFailedFile + " (" + m_sFailure + "). " +
           (bClosing ? "The tuner will start without them next time."
                     : "The tuner keeps working with them until you close it.");
}
