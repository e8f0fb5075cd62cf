#pragma once
// Samples between a driver's buffers and the engine's 16-bit-scale floats. The
// sample types are numbered as the ASIO interface numbers them; kernel streaming's
// 16-bit PCM and Windows audio's formats are among them, so every back end
// converts with these. Portable.
#include <cstdint>

typedef long ASIOSampleType;

enum : ASIOSampleType
{
    ASIOSTInt16MSB = 0, ASIOSTInt24MSB = 1, ASIOSTInt32MSB = 2, ASIOSTFloat32MSB = 3, ASIOSTFloat64MSB = 4,
    ASIOSTInt32MSB16 = 8, ASIOSTInt32MSB18 = 9, ASIOSTInt32MSB20 = 10, ASIOSTInt32MSB24 = 11,
    ASIOSTInt16LSB = 16, ASIOSTInt24LSB = 17, ASIOSTInt32LSB = 18, ASIOSTFloat32LSB = 19, ASIOSTFloat64LSB = 20,
    ASIOSTInt32LSB16 = 24, ASIOSTInt32LSB18 = 25, ASIOSTInt32LSB20 = 26, ASIOSTInt32LSB24 = 27,
    ASIOSTDSDInt8LSB1 = 32, ASIOSTDSDInt8MSB1 = 33, ASIOSTDSDInt8NER8 = 40,
};

// Bytes per sample of the types converted here (the little-endian PCM and float
// types); 0 for every other type, which the back ends refuse.
int AsioSampleBytes(long type);

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
