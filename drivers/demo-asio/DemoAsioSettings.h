#pragma once
// The demo driver's switches: values of its own key under HKEY_LOCAL_MACHINE
// "software\asio\<description>", read at every init():
//   "WavIn"     string  recording played into the inputs, looped (silence when absent)
//   "InputGain" string  gain on the recording, a decimal number (1.0)
//   "WavOut"    string  file the two outputs are written to at stop (none when absent)
//   "RealTime"  DWORD   0: call the host again as soon as it returns (1: at the pace of the clock)
//   "Rate"      DWORD   the clock's rate before the host sets one (48000)
//   "FirstRate" DWORD   what the first getSampleRate after init reports (a clock not yet settled)
//   "Faults"    string  names of methods that fail, separated by blanks or commas:
//                       init getChannels getBufferSize getSampleRate getSampleRateAgain
//                       setSampleRate createBuffers getChannelInfo getLatencies start
//                       outputReady; "timeInfo" makes the driver use bufferSwitch only
#include <string>

enum DemoFault : unsigned
{
    kFaultInit = 1u << 0,
    kFaultGetChannels = 1u << 1,
    kFaultGetBufferSize = 1u << 2,
    kFaultGetSampleRate = 1u << 3,
    kFaultGetSampleRateAgain = 1u << 4,  // every getSampleRate after the first
    kFaultSetSampleRate = 1u << 5,
    kFaultCreateBuffers = 1u << 6,
    kFaultGetChannelInfo = 1u << 7,
    kFaultGetLatencies = 1u << 8,
    kFaultStart = 1u << 9,
    kFaultOutputReady = 1u << 10,
    kFaultTimeInfo = 1u << 11,
};

struct DemoAsioSettings
{
    std::string sWavIn;
    std::string sWavOut;
    float fInputGain = 1.0f;
    bool bRealTime = true;
    double dRate = 48000.0;
    double dFirstRate = -1.0;  // below 0: none
    unsigned uFaults = 0;

    bool Fails(DemoFault f) const { return (uFaults & f) != 0; }
};

// The fault bits of a list of names; unknown names are ignored.
unsigned ParseDemoFaults(const std::string& text);

// The settings of the first "software\asio" key whose "clsid" is szClsid.
DemoAsioSettings ReadDemoAsioSettings(const char* szClsid);
