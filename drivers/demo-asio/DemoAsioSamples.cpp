#include "drivers/demo-asio/DemoAsioSamples.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "audio/asio/AsioCodes.h"

namespace {

// How a little-endian integer type sits in its bytes: width in bytes and the
// factor from 16-bit scale to its own.
struct IntLayout
{
    int iBytes;
    double dScale;
    long long llMax;  // the largest value; the smallest is -llMax - 1
};

bool IntLayoutOf(long type, IntLayout* p)
{
    switch (type)
    {
    case ASIOSTInt16LSB: *p = {2, 1.0, 32767}; return true;
    case ASIOSTInt24LSB: *p = {3, 256.0, 8388607}; return true;
    case ASIOSTInt32LSB: *p = {4, 65536.0, 2147483647}; return true;
    case ASIOSTInt32LSB16: *p = {4, 1.0, 32767}; return true;
    case ASIOSTInt32LSB18: *p = {4, 4.0, 131071}; return true;
    case ASIOSTInt32LSB20: *p = {4, 16.0, 524287}; return true;
    case ASIOSTInt32LSB24: *p = {4, 256.0, 8388607}; return true;
    default: return false;
    }
}

long long Saturated(double v, long long llMax)
{
    if (v != v)
        return 0;
    const double r = std::nearbyint(v);
    if (r >= static_cast<double>(llMax))
        return llMax;
    if (r <= static_cast<double>(-llMax - 1))
        return -llMax - 1;
    return static_cast<long long>(r);
}

} // namespace

int DemoSampleBytes(long type)
{
    switch (type)
    {
    case ASIOSTInt16MSB: case ASIOSTInt16LSB: return 2;
    case ASIOSTInt24MSB: case ASIOSTInt24LSB: return 3;
    case ASIOSTInt32MSB: case ASIOSTInt32LSB: case ASIOSTFloat32MSB: case ASIOSTFloat32LSB:
    case ASIOSTInt32MSB16: case ASIOSTInt32MSB18: case ASIOSTInt32MSB20: case ASIOSTInt32MSB24:
    case ASIOSTInt32LSB16: case ASIOSTInt32LSB18: case ASIOSTInt32LSB20: case ASIOSTInt32LSB24: return 4;
    case ASIOSTFloat64MSB: case ASIOSTFloat64LSB: return 8;
    case ASIOSTDSDInt8LSB1: case ASIOSTDSDInt8MSB1: case ASIOSTDSDInt8NER8: return 1;
    default: return 0;
    }
}

void EncodeDemoSample(long type, double v, unsigned char* p)
{
    IntLayout layout;
    if (IntLayoutOf(type, &layout))
    {
        const unsigned long long bits = static_cast<unsigned long long>(Saturated(v * layout.dScale, layout.llMax));
        for (int i = 0; i < layout.iBytes; ++i)
            p[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    else if (type == ASIOSTFloat32LSB)
    {
        const float f = static_cast<float>(v / 32768.0);
        std::memcpy(p, &f, sizeof f);  // the machine is little-endian, as the type
    }
    else if (type == ASIOSTFloat64LSB)
    {
        const double d = v / 32768.0;
        std::memcpy(p, &d, sizeof d);
    }
    else
    {
        std::memset(p, 0, static_cast<size_t>(DemoSampleBytes(type)));
    }
}

double DecodeDemoSample(long type, const unsigned char* p)
{
    IntLayout layout;
    if (IntLayoutOf(type, &layout))
    {
        unsigned long long bits = 0;
        for (int i = 0; i < layout.iBytes; ++i)
            bits |= static_cast<unsigned long long>(p[i]) << (8 * i);
        // The whole word counts, sign from its top bit: a value a host put beyond
        // the type's bits shows as such.
        const int iShift = 64 - 8 * layout.iBytes;
        const long long s = static_cast<long long>(bits << iShift) >> iShift;
        return static_cast<double>(s) / layout.dScale;
    }
    if (type == ASIOSTFloat32LSB)
    {
        float f;
        std::memcpy(&f, p, sizeof f);
        return static_cast<double>(f) * 32768.0;
    }
    if (type == ASIOSTFloat64LSB)
    {
        double d;
        std::memcpy(&d, p, sizeof d);
        return d * 32768.0;
    }
    return 0.0;
}
