#include "audio/asio/AsioSamples.h"

#include "audio/asio/AsioCodes.h"

std::int32_t AsioSampleFromFloat(float f)
{
    if (!(f == f))
        return 0;
    if (f > 32767.0f)
        f = 32767.0f;
    else if (f < -32768.0f)
        f = -32768.0f;
    const std::int32_t t = static_cast<std::int32_t>(f);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(t) << 16);
}

void AsioSamplesToFloats(const std::int32_t* pIn, float* pOut, int n)
{
    for (int i = 0; i < n; ++i)
        pOut[i] = AsioSampleToFloat(pIn[i]);
}

void AsioFloatsToSamples(const float* pIn, std::int32_t* pOut, int n)
{
    for (int i = 0; i < n; ++i)
        pOut[i] = AsioSampleFromFloat(pIn[i]);
}

bool IsAsioSampleType(long type)
{
    return (type >= 0 && type <= 4) || (type >= 8 && type <= 11) || (type >= 16 && type <= 20) ||
           (type >= 24 && type <= 27) || type == 32 || type == 33 || type == 40;
}

long AsioMessageAnswer(long selector, long value)
{
    switch (selector)
    {
    case kAsioSelectorSupported:
        return (value == kAsioEngineVersion || value == kAsioResetRequest || value == kAsioResyncRequest ||
                value == kAsioLatenciesChanged || value == kAsioSupportsTimeInfo ||
                value == kAsioSupportsTimeCode || value == kAsioSupportsInputMonitor)
                   ? 1
                   : 0;
    case kAsioEngineVersion:
        return 2;
    case kAsioResetRequest:
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
    case kAsioSupportsTimeInfo:
        return 1;
    default:
        return 0;
    }
}
