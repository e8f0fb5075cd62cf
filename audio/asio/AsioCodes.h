#pragma once
// The ASIO interface's scalar types and numbers: error codes, sample types, message
// selectors and time flags. Portable, so the host's plain logic builds everywhere;
// `long` is the interface's 32-bit integer on Windows. The sample types are with
// the conversions, which every back end uses.
#include "audio/SampleConversion.h"

typedef long ASIOBool;
typedef long ASIOError;
typedef double ASIOSampleRate;

enum : ASIOBool { ASIOFalse = 0, ASIOTrue = 1 };

enum : ASIOError
{
    ASE_OK = 0,
    ASE_SUCCESS = 0x3F4847A0,  // the answer of future()
    ASE_NotPresent = -1000,
    ASE_HWMalfunction = -999,
    ASE_InvalidParameter = -998,
    ASE_InvalidMode = -997,
    ASE_SPNotAdvancing = -996,
    ASE_NoClock = -995,
    ASE_NoMemory = -994,
};


// asioMessage selectors.
enum : long
{
    kAsioSelectorSupported = 1, kAsioEngineVersion = 2, kAsioResetRequest = 3, kAsioBufferSizeChange = 4,
    kAsioResyncRequest = 5, kAsioLatenciesChanged = 6, kAsioSupportsTimeInfo = 7, kAsioSupportsTimeCode = 8,
    kAsioMMCCommand = 9, kAsioSupportsInputMonitor = 10, kAsioSupportsInputGain = 11,
    kAsioSupportsInputMeter = 12, kAsioSupportsOutputGain = 13, kAsioSupportsOutputMeter = 14, kAsioOverload = 15,
};

// AsioTimeInfo flags, then ASIOTimeCode flags.
enum : unsigned long
{
    kSystemTimeValid = 1, kSamplePositionValid = 2, kSampleRateValid = 4, kSpeedValid = 8,
    kSampleRateChanged = 16, kClockSourceChanged = 32,
};
enum : unsigned long
{
    kTcValid = 1, kTcRunning = 2, kTcReverse = 4, kTcOnspeed = 8, kTcStill = 16, kTcSpeedValid = 0x100,
};
