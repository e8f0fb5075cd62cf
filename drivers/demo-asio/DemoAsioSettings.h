#pragma once
// The demo driver's switches: values of its own key under HKEY_LOCAL_MACHINE
// "software\asio\<description>", read at every init():
//   "WavIn"     string  recording played into the inputs, looped, resampled to the
//                       clock's rate (silence when absent)
//   "InputGain" string  gain on the recording, a decimal number (1.0)
//   "WavOut"    string  file the two outputs are written to at stop, at the clock's rate
//                       (none when absent)
//   "RealTime"  DWORD   0: call the host again as soon as it returns (1: at the pace of the clock)
//   "Rate"      DWORD   the clock's rate before the host sets one (48000)
//   "FirstRate" DWORD   what the first getSampleRate after init reports (a clock not yet settled)
//   "Faults"    string  names of methods that fail, separated by blanks or commas:
//                       init getChannels getBufferSize getSampleRate getSampleRateAgain
//                       setSampleRate createBuffers getChannelInfo getLatencies start
//                       outputReady; "timeInfo" makes the driver use bufferSwitch only;
//                       "createBuffersUnlessPreferred" refuses every size but the preferred
//   "SampleType" string the type of every channel by its interface name, e.g. "Int24LSB"
//                       (Int32LSB; an unknown name too). Big-endian and DSD types are
//                       reported but carry silence.
//   "MinSize", "MaxSize", "PreferredSize", "Granularity"  DWORD  the block sizes reported
//                       and accepted (25, 2000, 1200, 1). Granularity 0xFFFFFFFF (-1):
//                       powers of two; 0, another negative one, or MinSize == MaxSize:
//                       only the preferred size
// Requests the streaming thread sends once, N blocks after start() (at least one); the
// trigger value is then deleted, as a change in a control panel happens once:
//   "ResetAfterBlocks"      DWORD N  a reset request
//   "SizeChangeAfterBlocks" DWORD N  with "NewSize" (DWORD, not 0): stores PreferredSize =
//                                    NewSize and sends a buffer-size change naming it
//   "RateChangeAfterBlocks" DWORD N  with "NewRate" (DWORD, not 0): runs the clock at
//                                    NewRate, stores Rate = NewRate and reports the change
#include <string>

#include "audio/asio/AsioCodes.h"

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
    kFaultCreateBuffersUnlessPreferred = 1u << 12,
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
    long lSampleType = ASIOSTInt32LSB;
    long lMinSize = 25;
    long lMaxSize = 2000;
    long lPreferredSize = 1200;
    long lGranularity = 1;
    // Blocks after start() until each request; below 0: none.
    long long llResetAfter = -1;
    long long llSizeChangeAfter = -1;
    long lNewSize = 0;
    long long llRateChangeAfter = -1;
    double dNewRate = 0.0;
    std::string sKey;  // the key the settings came from, below HKEY_LOCAL_MACHINE; empty: none

    bool Fails(DemoFault f) const { return (uFaults & f) != 0; }
};

// The fault bits of a list of names; unknown names are ignored.
unsigned ParseDemoFaults(const std::string& text);

// The settings of the first "software\asio" key whose "clsid" is szClsid.
DemoAsioSettings ReadDemoAsioSettings(const char* szClsid);

// Changing a value of the key the settings came from, as the driver's control panel
// would; false when there is no such key or the registry refuses.
bool WriteDemoAsioNumber(const DemoAsioSettings& s, const char* szName, unsigned long value);
bool DeleteDemoAsioValue(const DemoAsioSettings& s, const char* szName);
