#include "app/Settings.h"

#include <algorithm>
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
#include "dsp/ReferencePitch.h"
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

public:
    // What follows the last number read.
    const char* Rest() const { return m_p; }

private:
    const char* m_p;
    const char* m_pEnd;
    bool m_bStopped = false;
};

const char kCaptureEndpointName[] = "wasapi_capture";
const char kRenderEndpointName[] = "wasapi_render";
const char kReferenceName[] = "reference_a4";

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '-';
}

std::string Trimmed(const char* p, const char* pEnd)
{
    while (p < pEnd && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    while (pEnd > p && std::isspace(static_cast<unsigned char>(pEnd[-1])))
        --pEnd;
    return std::string(p, pEnd);
}

// Empty when the line is a well-formed "name=value", else why it is not.
std::string SplitSetting(const std::string& sLine, std::string* pName, std::string* pValue)
{
    const std::size_t nEqual = sLine.find('=');
    if (nEqual == std::string::npos)
        return "no '='";
    *pName = Trimmed(sLine.data(), sLine.data() + nEqual);
    *pValue = Trimmed(sLine.data() + nEqual + 1, sLine.data() + sLine.size());
    if (pName->empty() || pName->size() > kMaxSettingName)
        return "no name, or a name too long";
    for (char c : *pName)
        if (!IsNameChar(c))
            return "a name of other than letters, digits, '_', '.' and '-'";
    if (pValue->size() > kMaxSettingValue)
        return "a value too long";
    for (char c : *pValue)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "a control character in the value";
    return std::string();
}

// The lines after the seventh number, from the end of its line on.
void ReadSettingLines(const char* p, const char* pEnd, SettingsValues* pValues, std::vector<std::string>* pSkipped)
{
    auto skip = [&](int iLine, const std::string& sWhy) {
        if (pSkipped)
            pSkipped->push_back("line " + std::to_string(iLine) + ": " + sWhy);
    };
    const char* pLineEnd = std::find(p, pEnd, '\n');
    if (!Trimmed(p, pLineEnd).empty())
        skip(7, "text after the number");
    int iLine = 7;
    for (p = pLineEnd; p < pEnd; p = pLineEnd)
    {
        ++p;
        ++iLine;
        pLineEnd = std::find(p, pEnd, '\n');
        const std::string sLine = Trimmed(p, pLineEnd);
        if (sLine.empty())
            continue;
        std::string sName, sValue;
        const std::string sWhy = SplitSetting(sLine, &sName, &sValue);
        if (!sWhy.empty())
            skip(iLine, sWhy);
        else if (sName == kCaptureEndpointName)
            pValues->sCaptureEndpoint = sValue;
        else if (sName == kRenderEndpointName)
            pValues->sRenderEndpoint = sValue;
        else if (sName == kReferenceName)
        {
            if (!ParseReferenceA4(sValue.c_str(), &pValues->iReferenceTenths))
                skip(iLine, "a reference pitch other than 400.0 to 480.0 Hz in steps of 0.1; 440.0 taken");
        }
        else if (pValues->asOtherLines.size() < kMaxOtherSettingLines)
        {
            pValues->asOtherLines.push_back(sName + "=" + sValue);
            skip(iLine, "\"" + sName + "\" is not known here; kept as it is");
        }
        else
            skip(iLine, "too many lines");
    }
}

} // namespace

SettingsValues ReadSettingsText(const char* pData, std::size_t nSize, const SettingsValues& current,
                                std::vector<std::string>* pSkipped)
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
    // Text past a NUL is not read.
    nSize = static_cast<std::size_t>(std::find(pData, pData + nSize, '\0') - pData);
    CNumberReader reader(pData, nSize);
    const bool bSeven = reader.ReadInt(read.iSamplingFreq) && reader.ReadInt(read.iBlockSize) &&
                        reader.ReadInt(read.iAudioDriver) && reader.ReadInt(read.iCaptureDevice) &&
                        reader.ReadInt(read.iRenderDevice) && reader.ReadInt(read.iInputChannels) &&
                        reader.ReadUnsigned(read.uAnalyserSetting);

    // Each value by its own rule; a refused one keeps what was there.
    SettingsValues result = current;
    if (read.iSamplingFreq >= 12000 && read.iSamplingFreq <= 192000)
        result.iSamplingFreq = read.iSamplingFreq;
    if (read.iBlockSize >= 25 && read.iBlockSize <= 2000)
        result.iBlockSize = read.iBlockSize;
    if (read.iAudioDriver == AUDIO_DRIVER_KS || read.iAudioDriver == AUDIO_DRIVER_ASIO ||
        read.iAudioDriver == AUDIO_DRIVER_WASAPI)
        result.iAudioDriver = read.iAudioDriver;
    if (static_cast<unsigned>(read.iCaptureDevice) < 10)
        result.iCaptureDevice = read.iCaptureDevice;
    if (static_cast<unsigned>(read.iRenderDevice) < 10)
        result.iRenderDevice = read.iRenderDevice;
    result.iInputChannels = read.iInputChannels;
    result.uAnalyserSetting = read.uAnalyserSetting;
    if (bSeven)
    {
        // The named lines are the file's own: one it lacks takes its default.
        result.sCaptureEndpoint.clear();
        result.sRenderEndpoint.clear();
        result.iReferenceTenths = kDefaultReferenceTenths;
        result.asOtherLines.clear();
        ReadSettingLines(reader.Rest(), pData + nSize, &result, pSkipped);
    }
    return result;
}

std::string WriteSettingsText(const SettingsValues& v)
{
    char szText[128];
    std::snprintf(szText, sizeof(szText), "%d\n%d\n%d\n%d\n%d\n%d\n%u\n", v.iSamplingFreq, v.iBlockSize, v.iAudioDriver,
                  v.iCaptureDevice, v.iRenderDevice, v.iInputChannels, v.uAnalyserSetting);
    std::string sText = szText;
    if (!v.sCaptureEndpoint.empty())
        sText += std::string(kCaptureEndpointName) + "=" + v.sCaptureEndpoint + "\n";
    if (!v.sRenderEndpoint.empty())
        sText += std::string(kRenderEndpointName) + "=" + v.sRenderEndpoint + "\n";
    if (v.iReferenceTenths != kDefaultReferenceTenths)
        sText += std::string(kReferenceName) + "=" + ReferenceText(v.iReferenceTenths) + "\n";
    for (const std::string& sLine : v.asOtherLines)
        sText += sLine + "\n";
    return sText;
}

namespace {

// The file's lines this program does not know, from loading to saving.
std::vector<std::string> g_asOtherSettingLines;

} // namespace

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
    v.sCaptureEndpoint = g_sCaptureEndpoint;
    v.sRenderEndpoint = g_sRenderEndpoint;
    v.iReferenceTenths = g_iReferenceTenths.load(kRelaxed);
    v.asOtherLines = g_asOtherSettingLines;
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
    g_sCaptureEndpoint = v.sCaptureEndpoint;
    g_sRenderEndpoint = v.sRenderEndpoint;
    g_iReferenceTenths.store(v.iReferenceTenths, kRelaxed);
    g_asOtherSettingLines = v.asOtherLines;
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
    // The settings need little room; a larger file is read no further, and a line
    // cut short at that point is not read at all.
    std::vector<char> data(kMaxSettingsFileRead);
    std::size_t nRead = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    if (nRead == data.size())
        nRead = static_cast<std::size_t>(std::find(data.rbegin(), data.rend(), '\n').base() - data.begin());
    std::vector<std::string> asSkipped;
    Apply(ReadSettingsText(data.data(), nRead, SettingsValues(), &asSkipped));
    for (const std::string& sSkipped : asSkipped)
        g_Log.Print(("LoadSettings() skipped " + sSkipped).c_str());
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
