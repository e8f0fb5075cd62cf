#pragma once
// The portable half of the ASIO host: sample conversions between the driver's
// 32-bit integers and the engine's 16-bit-scale floats, the answers to the driver's
// questions, and which sampling rates the host accepts from a driver.
#include <cstdint>

// Input: the sample divided by 65536, truncated toward zero (-1 becomes 0.0).
inline float AsioSampleToFloat(std::int32_t s)
{
    return static_cast<float>(s / 65536);
}

// Output: truncated toward zero into the upper 16 bits, the lower 16 bits zero.
// Values beyond the 16-bit range saturate (wrapping would turn a loud positive
// peak into full-scale negative); NaN gives silence.
std::int32_t AsioSampleFromFloat(float f);

void AsioSamplesToFloats(const std::int32_t* pIn, float* pOut, int n);
void AsioFloatsToSamples(const float* pIn, std::int32_t* pOut, int n);

// True for the sample types the interface defines (0 to 4, 8 to 11, 16 to 20,
// 24 to 27, 32, 33, 40).
bool IsAsioSampleType(long type);

// The host's answer to asioMessage(selector, value).
long AsioMessageAnswer(long selector, long value);

// The highest rate the host runs at; a driver rate outside (0, kAsioMaxRate] is
// replaced by kAsioDefaultRate.
constexpr double kAsioMaxRate = 192000.0;
constexpr double kAsioDefaultRate = 48000.0;
inline bool AsioRateUsable(double rate)
{
    return rate > 0.0 && rate <= kAsioMaxRate;
}
