#include "audio/SampleConversion.h"

#include <cmath>
#include <cstring>

int AsioSampleBytes(long type)
{
    switch (type)
    {
    case ASIOSTInt16LSB: return 2;
    case ASIOSTInt24LSB: return 3;
    case ASIOSTInt32LSB:
    case ASIOSTFloat32LSB:
    case ASIOSTInt32LSB16:
    case ASIOSTInt32LSB18:
    case ASIOSTInt32LSB20:
    case ASIOSTInt32LSB24: return 4;
    case ASIOSTFloat64LSB: return 8;
    default: return 0;
    }
}

namespace {

std::uint32_t Load32(const unsigned char* p)
{
    std::uint32_t u;
    std::memcpy(&u, p, 4);
    return u;
}

// A float sample at 16-bit scale as the engine takes it.
float FromFullScale(double v)
{
    if (!(v == v))
        return 0.0f;
    v *= 32768.0;
    if (v >= 32767.0)
        return 32767.0f;
    if (v <= -32768.0)
        return -32768.0f;
    return static_cast<float>(std::trunc(v));
}

// An integer sample held in the low `bits` bits of a 32-bit word, at 32-bit scale.
std::int32_t LeftJustified(std::uint32_t u, int bits)
{
    return static_cast<std::int32_t>(u << (32 - bits));
}

} // namespace

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

void AsioInputToFloats(long type, const void* pIn, float* pOut, int n, int iStride)
{
    const auto* p = static_cast<const unsigned char*>(pIn);
    const int step = iStride > 0 ? iStride : AsioSampleBytes(type);
    switch (type)
    {
    case ASIOSTInt16LSB:
        for (int i = 0; i < n; ++i, p += step)
        {
            std::int16_t s;
            std::memcpy(&s, p, 2);
            pOut[i] = static_cast<float>(s);
        }
        break;
    case ASIOSTInt24LSB:
        for (int i = 0; i < n; ++i, p += step)
            pOut[i] = AsioSampleToFloat(LeftJustified(p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16), 24));
        break;
    case ASIOSTInt32LSB:
        for (int i = 0; i < n; ++i, p += step)
            pOut[i] = AsioSampleToFloat(static_cast<std::int32_t>(Load32(p)));
        break;
    case ASIOSTInt32LSB16:
    case ASIOSTInt32LSB18:
    case ASIOSTInt32LSB20:
    case ASIOSTInt32LSB24:
    {
        const int bits = type == ASIOSTInt32LSB16 ? 16 : type == ASIOSTInt32LSB18 ? 18 : type == ASIOSTInt32LSB20 ? 20 : 24;
        for (int i = 0; i < n; ++i, p += step)
            pOut[i] = AsioSampleToFloat(LeftJustified(Load32(p), bits));
        break;
    }
    case ASIOSTFloat32LSB:
        for (int i = 0; i < n; ++i, p += step)
        {
            float f;
            std::memcpy(&f, p, 4);
            pOut[i] = FromFullScale(f);
        }
        break;
    case ASIOSTFloat64LSB:
        for (int i = 0; i < n; ++i, p += step)
        {
            double d;
            std::memcpy(&d, p, 8);
            pOut[i] = FromFullScale(d);
        }
        break;
    default:
        // Refused before streaming; silence rather than a guess at the layout.
        for (int i = 0; i < n; ++i)
            pOut[i] = 0.0f;
        break;
    }
}

void AsioFloatsToOutput(long type, const float* pIn, void* pOut, int n, int iStride)
{
    auto* p = static_cast<unsigned char*>(pOut);
    const int step = iStride > 0 ? iStride : AsioSampleBytes(type);
    for (int i = 0; i < n; ++i)
    {
        // The 16-bit value in the upper half; dividing is exact as the lower half is zero.
        const std::int32_t x = AsioSampleFromFloat(pIn[i]);
        const std::int32_t t = x / 65536;
        switch (type)
        {
        case ASIOSTInt16LSB:
        {
            const auto s = static_cast<std::int16_t>(t);
            std::memcpy(p, &s, 2);
            p += step;
            break;
        }
        case ASIOSTInt24LSB:
        {
            const auto u = static_cast<std::uint32_t>(x);
            p[0] = static_cast<unsigned char>(u >> 8);
            p[1] = static_cast<unsigned char>(u >> 16);
            p[2] = static_cast<unsigned char>(u >> 24);
            p += step;
            break;
        }
        case ASIOSTInt32LSB:
        case ASIOSTInt32LSB16:
        case ASIOSTInt32LSB18:
        case ASIOSTInt32LSB20:
        case ASIOSTInt32LSB24:
        {
            const std::int32_t v = type == ASIOSTInt32LSB     ? x
                                   : type == ASIOSTInt32LSB16 ? t
                                   : type == ASIOSTInt32LSB18 ? x / 16384
                                   : type == ASIOSTInt32LSB20 ? x / 4096
                                                              : x / 256;
            std::memcpy(p, &v, 4);
            p += step;
            break;
        }
        case ASIOSTFloat32LSB:
        {
            const float f = static_cast<float>(t) / 32768.0f;
            std::memcpy(p, &f, 4);
            p += step;
            break;
        }
        case ASIOSTFloat64LSB:
        {
            const double d = static_cast<double>(t) / 32768.0;
            std::memcpy(p, &d, 8);
            p += step;
            break;
        }
        default:
            return;  // refused before streaming: nothing is written
        }
    }
}
