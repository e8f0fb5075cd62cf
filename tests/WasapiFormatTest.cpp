// The Windows-audio back end's formats: which it streams, and one channel taken
// from and put into interleaved frames with the ASIO types' conversion.
#include <gtest/gtest.h>

#include "audio/asio/AsioCodes.h"
#include "audio/wasapi/WasapiFormat.h"

namespace {

WasapiFormat Format(int iChannels, int iContainer, int iValid, bool bFloat)
{
    WasapiFormat f;
    f.iChannels = iChannels;
    f.iRate = 48000;
    f.iContainerBits = iContainer;
    f.iValidBits = iValid;
    f.bFloat = bFloat;
    return f;
}

TEST(WasapiFormat, StreamedFormatsAndTheirFrames)
{
    const struct { WasapiFormat f; long type; int iFrame; } cases[] = {
        {Format(2, 32, 32, true), ASIOSTFloat32LSB, 8},  // the shared-mode mix format
        {Format(2, 16, 16, false), ASIOSTInt16LSB, 4},
        {Format(1, 24, 24, false), ASIOSTInt24LSB, 3},
        {Format(2, 32, 24, false), ASIOSTInt32LSB, 8},   // 24 bits in a 32-bit container
        {Format(8, 32, 32, false), ASIOSTInt32LSB, 32},
        {Format(2, 64, 64, true), -1, 0},
        {Format(2, 8, 8, false), -1, 0},
        {Format(2, 16, 20, false), -1, 0},
        {Format(0, 16, 16, false), -1, 0},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.type, WasapiSampleType(c.f)) << c.f.iContainerBits << "/" << c.f.iValidBits;
        EXPECT_EQ(c.iFrame, WasapiFrameBytes(c.f)) << c.f.iContainerBits << "/" << c.f.iValidBits;
    }
}

TEST(WasapiFormat, ChannelsOfInterleavedFrames)
{
    unsigned char abFrames[64] = {};
    const struct { WasapiFormat f; int iChannel; long type; int iOffset, iStride; } cases[] = {
        {Format(2, 32, 32, true), 1, ASIOSTFloat32LSB, 4, 8},
        {Format(6, 16, 16, false), 5, ASIOSTInt16LSB, 10, 12},
        {Format(2, 32, 24, false), 0, ASIOSTInt32LSB, 0, 8},
        // A channel the format lacks, or a format not streamed: silence in, nothing out.
        {Format(1, 16, 16, false), 1, -1, 0, 0},
        {Format(2, 64, 64, true), 0, -1, 0, 0},
    };
    for (const auto& c : cases)
    {
        const DriverChannel ch = WasapiChannel(c.f, abFrames, c.iChannel);
        EXPECT_EQ(c.type, ch.lType) << c.f.iChannels << " ch, channel " << c.iChannel;
        EXPECT_EQ(abFrames + c.iOffset, ch.pFirst);
        EXPECT_EQ(c.iStride, ch.iStride);
    }
}

} // namespace
