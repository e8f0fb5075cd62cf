// The portable half of the ASIO host: conversions of every sample type, answers to
// the driver's messages, rates and block sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "audio/asio/AsioCodes.h"
#include "audio/asio/AsioSampleTypes.h"
#include "audio/asio/AsioSamples.h"

TEST(AsioSamples, Int32InputAndOutputRule)
{
    const struct { std::int32_t in; float out; } inputs[] = {
        {-1, 0.0f}, {0x7FFFFFFF, 32767.0f}, {0x00010000, 1.0f}, {-0x10000, -1.0f}, {-0x1FFFF, -1.0f},
        {INT32_MIN, -32768.0f},
    };
    for (const auto& c : inputs)
        EXPECT_EQ(AsioSampleToFloat(c.in), c.out) << c.in;

    const float kNaN = std::numeric_limits<float>::quiet_NaN();
    const struct { float in; std::uint32_t out; } outputs[] = {
        {1.7f, 0x00010000u}, {-1.5f, 0xFFFF0000u}, {0.0f, 0u}, {32767.9f, 0x7FFF0000u}, {-32768.0f, 0x80000000u},
        // Beyond 16 bits the sample saturates instead of wrapping to the other sign.
        {40000.0f, 0x7FFF0000u}, {32768.0f, 0x7FFF0000u}, {-40000.0f, 0x80000000u}, {1e30f, 0x7FFF0000u},
        {-INFINITY, 0x80000000u}, {kNaN, 0u},
    };
    for (const auto& c : outputs)
        EXPECT_EQ(static_cast<std::uint32_t>(AsioSampleFromFloat(c.in)), c.out) << c.in;
}

// Each type's bytes for the 16-bit values 1000, -1 and full scale both ways, as a
// driver of that type holds them (little-endian).
struct TypeRow
{
    long type;
    std::vector<unsigned char> bytes;  // 1000, -1, 32767, -32768
};

std::vector<unsigned char> Le(std::initializer_list<std::uint64_t> values, int width)
{
    std::vector<unsigned char> out;
    for (std::uint64_t v : values)
        for (int b = 0; b < width; ++b)
            out.push_back(static_cast<unsigned char>(v >> (8 * b)));
    return out;
}
template <class T>
std::vector<unsigned char> Raw(std::initializer_list<T> values)
{
    std::vector<unsigned char> out;
    for (T v : values)
    {
        unsigned char b[sizeof(T)];
        std::memcpy(b, &v, sizeof b);
        out.insert(out.end(), b, b + sizeof b);
    }
    return out;
}

TEST(AsioSamples, EveryConvertedTypeBothWays)
{
    const TypeRow rows[] = {
        {ASIOSTInt16LSB, Le({1000, 0xFFFF, 0x7FFF, 0x8000}, 2)},
        {ASIOSTInt24LSB, Le({1000 << 8, 0xFFFF00, 0x7FFF00, 0x800000}, 3)},
        {ASIOSTInt32LSB, Le({1000u << 16, 0xFFFF0000u, 0x7FFF0000u, 0x80000000u}, 4)},
        {ASIOSTInt32LSB16, Le({1000, 0xFFFFFFFFu, 0x7FFF, 0xFFFF8000u}, 4)},
        {ASIOSTInt32LSB18, Le({1000 << 2, 0xFFFFFFFCu, 0x7FFF << 2, 0xFFFE0000u}, 4)},
        {ASIOSTInt32LSB20, Le({1000 << 4, 0xFFFFFFF0u, 0x7FFF << 4, 0xFFF80000u}, 4)},
        {ASIOSTInt32LSB24, Le({1000 << 8, 0xFFFFFF00u, 0x7FFF << 8, 0xFF800000u}, 4)},
        {ASIOSTFloat32LSB, Raw<float>({1000.0f / 32768, -1.0f / 32768, 32767.0f / 32768, -1.0f})},
        {ASIOSTFloat64LSB, Raw<double>({1000.0 / 32768, -1.0 / 32768, 32767.0 / 32768, -1.0})},
    };
    const float values[4] = {1000.0f, -1.0f, 32767.0f, -32768.0f};
    for (const TypeRow& r : rows)
    {
        SCOPED_TRACE(AsioSampleTypeName(r.type));
        const int bytes = AsioSampleBytes(r.type);
        ASSERT_EQ(static_cast<size_t>(4 * bytes), r.bytes.size());
        // Output fills exactly its bytes; a guard byte after them stays as it was.
        std::vector<unsigned char> out(r.bytes.size() + 1, 0xA5);
        AsioFloatsToOutput(r.type, values, out.data(), 4);
        EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.end() - 1), r.bytes);
        EXPECT_EQ(out.back(), 0xA5);
        float in[4];
        AsioInputToFloats(r.type, r.bytes.data(), in, 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(in[i], values[i]) << i;
    }
}

// What finer types carry below 16 bits is truncated toward zero, as for 32-bit
// integers; floats beyond full scale saturate, NaN is silence.
TEST(AsioSamples, InputBelowAndBeyondSixteenBits)
{
    const struct { long type; std::vector<unsigned char> bytes; float out; } cases[] = {
        {ASIOSTInt24LSB, Le({0xFFFFFF}, 3), 0.0f},
        {ASIOSTInt24LSB, Le({0xFFFE80}, 3), -1.0f},
        {ASIOSTInt32LSB24, Le({0x000001FF}, 4), 1.0f},
        {ASIOSTInt32LSB20, Le({0xAAAFFFFFu}, 4), 0.0f},  // bits above the 20 are ignored
        {ASIOSTFloat32LSB, Raw<float>({1.5f / 32768}), 1.0f},
        {ASIOSTFloat32LSB, Raw<float>({-1.5f / 32768}), -1.0f},
        {ASIOSTFloat32LSB, Raw<float>({4.0f}), 32767.0f},
        {ASIOSTFloat64LSB, Raw<double>({-INFINITY}), -32768.0f},
        {ASIOSTFloat32LSB, Raw<float>({std::numeric_limits<float>::quiet_NaN()}), 0.0f},
    };
    for (const auto& c : cases)
    {
        float f = 99.0f;
        AsioInputToFloats(c.type, c.bytes.data(), &f, 1);
        EXPECT_EQ(f, c.out) << AsioSampleTypeName(c.type) << " " << c.bytes.size();
    }
}

TEST(AsioSamples, TypeNamesAndWhatTheHostRefuses)
{
    int defined = 0, converted = 0;
    for (long t = -2; t < 64; ++t)
    {
        defined += IsAsioSampleType(t) ? 1 : 0;
        converted += AsioSampleBytes(t) > 0 ? 1 : 0;
        if (const char* name = AsioSampleTypeName(t))
        {
            EXPECT_EQ(AsioSampleTypeOfName(name), t) << name;
        }
    }
    EXPECT_EQ(defined, 21);
    EXPECT_EQ(converted, 9);
    for (long refused : {ASIOSTInt16MSB, ASIOSTInt24MSB, ASIOSTFloat32MSB, ASIOSTInt32MSB24, ASIOSTDSDInt8NER8})
        EXPECT_EQ(AsioSampleBytes(refused), 0) << AsioSampleTypeName(refused);
    EXPECT_EQ(AsioSampleTypeOfName("int24lsb"), ASIOSTInt24LSB);
    EXPECT_EQ(AsioSampleTypeOfName("Int24"), -1);
    EXPECT_EQ(AsioSampleTypeOfName(nullptr), -1);
    EXPECT_EQ(AsioSampleTypeName(21), nullptr);
}

TEST(AsioSamples, MessageAnswersRequestsAndRates)
{
    for (long v : {2L, 3L, 4L, 5L, 6L, 7L})
        EXPECT_EQ(AsioMessageAnswer(kAsioSelectorSupported, v), 1) << v;
    for (long v : {0L, 1L, 8L, 9L, 10L, 11L, 15L, 16L})
        EXPECT_EQ(AsioMessageAnswer(kAsioSelectorSupported, v), 0) << v;
    EXPECT_EQ(AsioMessageAnswer(kAsioEngineVersion, 0), 2);
    for (long s : {3L, 4L, 5L, 6L, 7L})
        EXPECT_EQ(AsioMessageAnswer(s, 0), 1) << s;
    for (long s : {0L, 8L, 9L, 15L, 99L})
        EXPECT_EQ(AsioMessageAnswer(s, 0), 0) << s;

    EXPECT_EQ(AsioMessageRequest(kAsioResetRequest), kAsioRequestReset);
    EXPECT_EQ(AsioMessageRequest(kAsioBufferSizeChange), kAsioRequestBufferSize);
    EXPECT_EQ(AsioMessageRequest(kAsioResyncRequest) | AsioMessageRequest(kAsioLatenciesChanged),
              kAsioRequestResync | kAsioRequestLatencies);
    for (long s : {kAsioSelectorSupported, kAsioEngineVersion, kAsioSupportsTimeInfo, kAsioOverload})
        EXPECT_EQ(AsioMessageRequest(s), 0u) << s;

    for (double r : {0.0, -44100.0, 384000.0, std::nan(""), 44100.0, 192000.0})
        EXPECT_EQ(AsioRateUsable(r), r == 44100.0 || r == 192000.0) << r;
}

TEST(AsioSamples, BlockSizeTheDriverAccepts)
{
    const struct { long requested, min, max, preferred, granularity, used; } cases[] = {
        {300, 25, 2000, 1200, 1, 300},      // any size
        {10, 25, 2000, 1200, 1, 25},        // below the limits
        {5000, 25, 2000, 1200, 1, 2000},    // above them
        {300, 64, 2048, 512, -1, 256},      // powers of two: 256 is nearer than 512
        {400, 64, 2048, 512, -1, 512},
        {384, 64, 2048, 512, -1, 512},      // halfway: the larger
        {20, 64, 2048, 512, -1, 64},
        {5000, 64, 2048, 512, -1, 2048},
        {300, 100, 120, 110, -1, 110},      // no power of two within: the preferred
        {300, 32, 1024, 256, 32, 288},      // multiples of the granularity
        {310, 32, 1024, 256, 32, 320},
        {300, 25, 2000, 1200, 64, 320},
        {10, 25, 2000, 1200, 64, 64},       // the first multiple within the limits
        {300, 256, 256, 256, 0, 256},       // min = max: the preferred
        {1200, 480, 480, 480, 1, 480},
        {300, 100, 120, 110, 64, 110},      // no multiple within: the preferred
        {300, 0, 2000, 512, 1, 512},        // limits that make no sense: the preferred
        {300, 2000, 25, 512, 1, 512},
        {300, 25, 2000, 1200, -7, 1200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseAsioBlockSize(c.requested, c.min, c.max, c.preferred, c.granularity), c.used)
            << c.requested << " in [" << c.min << ", " << c.max << "] pref " << c.preferred << " gran "
            << c.granularity;
}
