// The portable half of the ASIO host: conversions, answers, rates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "audio/asio/AsioCodes.h"
#include "audio/asio/AsioSamples.h"

TEST(AsioSamples, InputAndOutputConversions)
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

    const std::int32_t block[3] = {0x00050000, -0x00050000, 0x7FFFFFFF};
    float f[3];
    std::int32_t back[3];
    AsioSamplesToFloats(block, f, 3);
    AsioFloatsToSamples(f, back, 3);
    EXPECT_EQ(back[0], block[0]);
    EXPECT_EQ(back[1], block[1]);
    EXPECT_EQ(back[2], 0x7FFF0000);
}

TEST(AsioSamples, MessageAnswersTypesAndRates)
{
    for (long v : {2L, 3L, 5L, 6L, 7L, 8L, 10L})
        EXPECT_EQ(AsioMessageAnswer(kAsioSelectorSupported, v), 1) << v;
    for (long v : {0L, 1L, 4L, 9L, 11L, 15L, 16L})
        EXPECT_EQ(AsioMessageAnswer(kAsioSelectorSupported, v), 0) << v;
    EXPECT_EQ(AsioMessageAnswer(kAsioEngineVersion, 0), 2);
    for (long s : {3L, 5L, 6L, 7L})
        EXPECT_EQ(AsioMessageAnswer(s, 0), 1) << s;
    for (long s : {0L, 4L, 8L, 9L, 15L, 99L})
        EXPECT_EQ(AsioMessageAnswer(s, 0), 0) << s;

    int defined = 0;
    for (long t = -2; t < 64; ++t)
        defined += IsAsioSampleType(t) ? 1 : 0;
    EXPECT_EQ(defined, 21);
    EXPECT_TRUE(IsAsioSampleType(ASIOSTInt32LSB) && IsAsioSampleType(ASIOSTDSDInt8NER8));
    EXPECT_FALSE(IsAsioSampleType(5) || IsAsioSampleType(21) || IsAsioSampleType(34));

    for (double r : {0.0, -44100.0, 384000.0, std::nan(""), 44100.0, 192000.0})
        EXPECT_EQ(AsioRateUsable(r), r == 44100.0 || r == 192000.0) << r;
}
