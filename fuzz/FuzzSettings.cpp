// The settings file reader on any bytes: every value it hands back passes its
// rule or is the one it had; small numbers read as the C conversions read them
// (after a leading byte-order mark);
// what the writer makes of the result reads back the same; and LoadSettings puts
// into the program what the reader makes of the file's first 4096 bytes.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "app/InstallPath.h"
#include "app/Settings.h"
#include "audio/AudioGlobals.h"
#include "dsp/ReferencePitch.h"
#include "fuzz/FuzzCheck.h"
#include "panel/XEffects.h"

namespace {

// The file's integers in line order, each with the range it must lie in.
struct Rule
{
    int SettingsValues::*pValue;
    int iLo, iHi;
    const char* szWhat;
};
const Rule kRules[6] = {
    {&SettingsValues::iSamplingFreq, 12000, 192000, "the sampling frequency's range"},
    {&SettingsValues::iBlockSize, 25, 2000, "the block size's range"},
    {&SettingsValues::iAudioDriver, 0, 3, "the driver's values"},
    {&SettingsValues::iCaptureDevice, 0, 9, "the capture device's range"},
    {&SettingsValues::iRenderDevice, 0, 9, "the render device's range"},
    {&SettingsValues::iInputChannels, INT_MIN, INT_MAX, "any channel setting"},
};

bool SameNumbers(const SettingsValues& a, const SettingsValues& b)
{
    for (const Rule& rule : kRules)
        if (a.*rule.pValue != b.*rule.pValue)
            return false;
    return a.uAnalyserSetting == b.uAnalyserSetting;
}

bool Same(const SettingsValues& a, const SettingsValues& b)
{
    return SameNumbers(a, b) && a.sCaptureEndpoint == b.sCaptureEndpoint && a.sRenderEndpoint == b.sRenderEndpoint &&
           a.iReferenceTenths == b.iReferenceTenths && a.asOtherLines == b.asOtherLines;
}

// A value the reader hands back: not too long, no control characters.
bool Clean(const std::string& s)
{
    if (s.size() > kMaxSettingValue + kMaxSettingName + 1)
        return false;
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

// The file's values as sscanf reads them, each kept only inside its range.
SettingsValues ScanfReference(const std::string& sText, const SettingsValues& current)
{
    SettingsValues r = current;
    int ai[6] = {};
    unsigned u = 0;
    const int n = std::sscanf(sText.c_str(), "%d%d%d%d%d%d%u", &ai[0], &ai[1], &ai[2], &ai[3], &ai[4], &ai[5], &u);
    for (int i = 0; i < n && i < 6; ++i)
        if (ai[i] >= kRules[i].iLo && ai[i] <= kRules[i].iHi && (i != 2 || ai[i] != AUDIO_DRIVER_NONE))
            r.*kRules[i].pValue = ai[i];
    if (n == 7)
        r.uAnalyserSetting = u;
    return r;
}

bool HasLongNumber(const std::string& s)
{
    int iRun = 0;
    for (char c : s)
        if ((iRun = (c >= '0' && c <= '9') ? iRun + 1 : 0) > 9)
            return true;
    return false;
}

// The install folder: a private temporary one, removed at exit.
struct TempFolder
{
    std::string sDir;
    TempFolder()
    {
        char szTemplate[] = "/tmp/tq-fuzz-settings.XXXXXX";
        FuzzCheck(mkdtemp(szTemplate) != nullptr, "a temporary folder");
        sDir = szTemplate;
    }
    ~TempFolder()
    {
        char szFile[kInstallPathSize];
        if (GetSettingsFileName(szFile))
            std::remove(szFile);
        rmdir(sDir.c_str());
    }
};

InstallPathRead FuzzInstallPath(char* szOut, int iSize)
{
    static const TempFolder s_Folder;
    std::snprintf(szOut, static_cast<size_t>(iSize), "%s", s_Folder.sDir.c_str());
    return InstallPathRead::Found;
}

void CheckLoadSettings(const char* p, size_t nSize, const SettingsValues& odd)
{
    g_pReadInstallPath = &FuzzInstallPath;
    char szFile[kInstallPathSize];
    FuzzCheck(GetSettingsFileName(szFile) == 1, "the settings file's name");
    std::FILE* f = std::fopen(szFile, "wb");
    FuzzCheck(f && std::fwrite(p, 1, nSize, f) == nSize && std::fclose(f) == 0, "the settings file written");
    CSettings::Apply(odd);
    CSettings settings;
    FuzzCheck(settings.LoadSettings() == 1, "the settings file loads");
    // LoadSettings reads the file's start, without a line cut short there.
    size_t nRead = std::min<size_t>(nSize, kMaxSettingsFileRead);
    if (nRead == kMaxSettingsFileRead)
        while (nRead > 0 && p[nRead - 1] != '\n')
            --nRead;
    const SettingsValues v = ReadSettingsText(p, nRead, SettingsValues());
    const SettingsValues kept = CSettings::Current();
    FuzzCheck(kept.sCaptureEndpoint == v.sCaptureEndpoint && kept.sRenderEndpoint == v.sRenderEndpoint &&
                  kept.asOtherLines == v.asOtherLines,
              "LoadSettings keeps the named lines the reader reads");
    FuzzCheck(g_fRequestedSamplingFreq == static_cast<float>(v.iSamplingFreq) && g_iRequestedBlockSize == v.iBlockSize &&
                  g_iAudioDriver == v.iAudioDriver && g_iCaptureDevice == v.iCaptureDevice &&
                  g_iRenderDevice == v.iRenderDevice && g_iInputChannels.load() == v.iInputChannels &&
                  g_XEffects.g_iAnalyserSetting == v.uAnalyserSetting &&
                  g_iReferenceTenths.load() == v.iReferenceTenths,
              "LoadSettings applies what the reader reads");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const char* p = reinterpret_cast<const char*>(pData);
    // Outside every rule, but for the reference: one out of its range would be
    // written as a line that reads back as 440.
    const SettingsValues odd{7, -3, 5, 11, -1, 77, 99, "odd capture", "odd render", 4153, {"odd=1"}};
    for (const SettingsValues& current : {SettingsValues(), odd})
    {
        const SettingsValues v = ReadSettingsText(p, nSize, current);
        for (const Rule& rule : kRules)
        {
            const int i = v.*rule.pValue;
            FuzzCheck(i == current.*rule.pValue || (i >= rule.iLo && i <= rule.iHi), rule.szWhat);
        }
        FuzzCheck(v.iAudioDriver != 2 || current.iAudioDriver == 2, "no driver is never read");
        FuzzCheck(v.asOtherLines.size() <= kMaxOtherSettingLines, "a bounded number of unknown lines");
        for (const std::string& s : v.asOtherLines)
            FuzzCheck(Clean(s) && s.find('=') != std::string::npos, "an unknown line kept is a clean name=value");
        FuzzCheck(Clean(v.sCaptureEndpoint) && Clean(v.sRenderEndpoint), "endpoint ids are clean");
        FuzzCheck(v.iReferenceTenths == current.iReferenceTenths ||
                      (v.iReferenceTenths >= kMinReferenceTenths && v.iReferenceTenths <= kMaxReferenceTenths),
                  "the reference pitch's range");
        // Text up to a NUL is what a C string holds; past it the reader has stopped.
        // A leading UTF-8 byte-order mark is passed over before the numbers.
        std::string sText(p, strnlen(p, nSize));
        if (sText.compare(0, 3, "\xEF\xBB\xBF") == 0)
            sText.erase(0, 3);
        if (!HasLongNumber(sText))
            FuzzCheck(SameNumbers(v, ScanfReference(sText, current)), "reads as the C conversions do");
        // (Values kept from `odd` are written as they are and kept again when read over it.)
        const std::string sWritten = WriteSettingsText(v);
        FuzzCheck(Same(ReadSettingsText(sWritten.data(), sWritten.size(), odd), v), "what is written reads back");
    }
    CheckLoadSettings(p, nSize, odd);
    return 0;
}
