#pragma once
// The ASIO interface's scalar types and numbers: error codes, sample types, message
// selectors and time flags. Portable, so the host's plain logic builds everywhere;
// `long` is the interface's 32-bit integer on Windows.

typedef long ASIOBool;
typedef long ASIOError;
typedef long ASIOSampleType;
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

enum : ASIOSampleType
{
    ASIOSTInt16MSB = 0, ASIOSTInt24MSB = 1, ASIOSTInt32MSB = 2, ASIOSTFloat32MSB = 3, ASIOSTFloat64MSB = 4,
    ASIOSTInt32MSB16 = 8, ASIOSTInt32MSB18 = 9, ASIOSTInt32MSB20 = 10, ASIOSTInt32MSB24 = 11,
    ASIOSTInt16LSB = 16, ASIOSTInt24LSB = 17, ASIOSTInt32LSB = 18, ASIOSTFloat32LSB = 19, ASIOSTFloat64LSB = 20,
    ASIOSTInt32LSB16 = 24, ASIOSTInt32LSB18 = 25, ASIOSTInt32LSB20 = 26, ASIOSTInt32LSB24 = 27,
    ASIOSTDSDInt8LSB1 = 32, ASIOSTDSDInt8MSB1 = 33, ASIOSTDSDInt8NER8 = 40,
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
