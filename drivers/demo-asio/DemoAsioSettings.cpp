#include "drivers/demo-asio/DemoAsioSettings.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "audio/asio/AsioCodes.h"
#include "audio/asio/AsioSampleTypes.h"

namespace {

bool ReadText(HKEY hKey, const char* szName, std::string* pOut)
{
    char buf[1024];
    DWORD type = 0;
    DWORD size = sizeof buf - 1;
    if (RegQueryValueExA(hKey, szName, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    buf[size] = '\0';
    *pOut = buf;
    return true;
}

bool ReadNumber(HKEY hKey, const char* szName, DWORD* pOut)
{
    DWORD type = 0;
    DWORD size = sizeof *pOut;
    return RegQueryValueExA(hKey, szName, nullptr, &type, reinterpret_cast<BYTE*>(pOut), &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

} // namespace

unsigned ParseDemoFaults(const std::string& text)
{
    static const struct { const char* szName; DemoFault fault; } kNames[] = {
        {"init", kFaultInit}, {"getChannels", kFaultGetChannels}, {"getBufferSize", kFaultGetBufferSize},
        {"getSampleRate", kFaultGetSampleRate}, {"getSampleRateAgain", kFaultGetSampleRateAgain},
        {"setSampleRate", kFaultSetSampleRate}, {"createBuffers", kFaultCreateBuffers},
        {"getChannelInfo", kFaultGetChannelInfo}, {"getLatencies", kFaultGetLatencies}, {"start", kFaultStart},
        {"outputReady", kFaultOutputReady}, {"timeInfo", kFaultTimeInfo},
        {"createBuffersUnlessPreferred", kFaultCreateBuffersUnlessPreferred},
    };
    unsigned bits = 0;
    size_t i = 0;
    while (i < text.size())
    {
        const size_t end = text.find_first_of(" ,", i);
        const std::string word = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
        for (const auto& n : kNames)
            if (lstrcmpiA(word.c_str(), n.szName) == 0)
                bits |= n.fault;
        if (end == std::string::npos)
            break;
        i = end + 1;
    }
    return bits;
}

DemoAsioSettings ReadDemoAsioSettings(const char* szClsid)
{
    DemoAsioSettings s;
    HKEY hAsio = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\asio", 0, KEY_READ, &hAsio) != ERROR_SUCCESS)
        return s;
    char szKey[256];
    for (DWORD i = 0; RegEnumKeyA(hAsio, i, szKey, sizeof szKey) == ERROR_SUCCESS; ++i)
    {
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(hAsio, szKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            continue;
        std::string sClsid;
        const bool bOurs = ReadText(hKey, "clsid", &sClsid) && lstrcmpiA(sClsid.c_str(), szClsid) == 0;
        if (bOurs)
        {
            std::string text;
            DWORD n = 0;
            ReadText(hKey, "WavIn", &s.sWavIn);
            ReadText(hKey, "WavOut", &s.sWavOut);
            if (ReadText(hKey, "InputGain", &text))
                s.fInputGain = std::strtof(text.c_str(), nullptr);
            if (ReadNumber(hKey, "RealTime", &n))
                s.bRealTime = n != 0;
            if (ReadNumber(hKey, "Rate", &n))
                s.dRate = n;
            if (ReadNumber(hKey, "FirstRate", &n))
                s.dFirstRate = n;
            if (ReadText(hKey, "Faults", &text))
                s.uFaults = ParseDemoFaults(text);
            if (ReadText(hKey, "SampleType", &text))
            {
                const long type = AsioSampleTypeOfName(text.c_str());
                s.lSampleType = type >= 0 ? type : ASIOSTInt32LSB;
            }
            // Sizes are the interface's signed numbers: 0xFFFFFFFF is -1.
            if (ReadNumber(hKey, "MinSize", &n))
                s.lMinSize = static_cast<long>(n);
            if (ReadNumber(hKey, "MaxSize", &n))
                s.lMaxSize = static_cast<long>(n);
            if (ReadNumber(hKey, "PreferredSize", &n))
                s.lPreferredSize = static_cast<long>(n);
            if (ReadNumber(hKey, "Granularity", &n))
                s.lGranularity = static_cast<long>(n);
            if (ReadNumber(hKey, "ResetAfterBlocks", &n))
                s.llResetAfter = n;
            if (ReadNumber(hKey, "SizeChangeAfterBlocks", &n))
                s.llSizeChangeAfter = n;
            if (ReadNumber(hKey, "NewSize", &n))
                s.lNewSize = static_cast<long>(n);
            if (ReadNumber(hKey, "RateChangeAfterBlocks", &n))
                s.llRateChangeAfter = n;
            if (ReadNumber(hKey, "NewRate", &n))
                s.dNewRate = n;
            s.sKey = std::string("software\\asio\\") + szKey;
        }
        RegCloseKey(hKey);
        if (bOurs)
            break;
    }
    RegCloseKey(hAsio);
    return s;
}

bool WriteDemoAsioNumber(const DemoAsioSettings& s, const char* szName, unsigned long value)
{
    HKEY hKey = nullptr;
    if (s.sKey.empty() || RegOpenKeyExA(HKEY_LOCAL_MACHINE, s.sKey.c_str(), 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    const DWORD dw = value;
    const LONG r = RegSetValueExA(hKey, szName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dw), sizeof dw);
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS;
}

bool DeleteDemoAsioValue(const DemoAsioSettings& s, const char* szName)
{
    HKEY hKey = nullptr;
    if (s.sKey.empty() || RegOpenKeyExA(HKEY_LOCAL_MACHINE, s.sKey.c_str(), 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    const LONG r = RegDeleteValueA(hKey, szName);
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS;
}
