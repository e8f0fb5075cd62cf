#pragma once
// The portable half of the ASIO host: sample conversions between the driver's
// sample types and the engine's 16-bit-scale floats, the answers to the driver's
// messages, which sampling rates the host accepts from a driver, and the block
// size it asks a driver for.
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

// One channel's block between a driver buffer of the given type (one that
// AsioSampleBytes accepts) and the engine. Every type reaches the engine as whole
// 16-bit values, as 32-bit integers always have: an integer sample is taken at
// 32-bit scale and divided by 65536 truncating toward zero, a float is scaled by
// 32768 and truncated likewise (NaN gives 0, beyond full scale saturates). Output
// is the 16-bit value AsioSampleFromFloat makes, at the type's own scale.
// iStride: bytes from one sample of the channel to the next, for interleaved
// buffers; 0 for a channel's own buffer (the type's size).
void AsioInputToFloats(long type, const void* pIn, float* pOut, int n, int iStride = 0);
void AsioFloatsToOutput(long type, const float* pIn, void* pOut, int n, int iStride = 0);

// What a message from the driver asks the host to do, as bits; 0 for questions
// and for what the host ignores.
enum AsioRequest : unsigned
{
    kAsioRequestReset = 1u << 0,       // restart with the driver's new settings
    kAsioRequestBufferSize = 1u << 1,  // the same, with the size the message names
    kAsioRequestRate = 1u << 2,        // the driver changed its rate
    kAsioRequestResync = 1u << 3,      // logged
    kAsioRequestLatencies = 1u << 4,   // logged
};
constexpr unsigned kAsioRestartRequests = kAsioRequestReset | kAsioRequestBufferSize | kAsioRequestRate;
unsigned AsioMessageRequest(long selector);

// The host's answer to asioMessage(selector, value).
long AsioMessageAnswer(long selector, long value);

// The block size to ask the driver for: the size it accepts that is nearest to the
// requested one (the larger of two equally near). Accepted sizes lie within
// [minSize, maxSize] and are multiples of the granularity, or powers of two when
// the granularity is -1; the preferred size when min equals max or when the
// limits admit no size at all.
long ChooseAsioBlockSize(long requested, long minSize, long maxSize, long preferred, long granularity);

// The highest rate the host runs at; a driver rate outside (0, kAsioMaxRate] is
// replaced by kAsioDefaultRate.
constexpr double kAsioMaxRate = 192000.0;
constexpr double kAsioDefaultRate = 48000.0;
inline bool AsioRateUsable(double rate)
{
    return rate > 0.0 && rate <= kAsioMaxRate;
}
