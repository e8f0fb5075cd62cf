// The Windows-audio back end's formats: which it streams, and one channel taken
// from and put into interleaved frames with the ASIO types' conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

TEST(WasapiFormat, OneChannelOfInterleavedFrames)
{
    // Three frames of stereo float: the right channel reaches the engine at 16-bit
    // scale, and output writes the right channel only.
    const float afFrames[6] = {0.1f, 0.5f, -0.2f, -1.0f, 0.3f, 2.0f};
    float afRight[3];
    const WasapiFormat stereo = Format(2, 32, 32, true);
    WasapiInputToFloats(stereo, afFrames, 1, afRight, 3);
    EXPECT_EQ(std::vector<float>(afRight, afRight + 3), (std::vector<float>{16384.0f, -32768.0f, 32767.0f}));
    float afOut[6] = {9, 9, 9, 9, 9, 9};
    const float afLeft[3] = {16384.0f, -8192.0f, 0.0f};
    WasapiFloatsToOutput(stereo, afLeft, afOut, 0, 3);
    EXPECT_EQ(std::vector<float>(afOut, afOut + 6), (std::vector<float>{0.5f, 9, -0.25f, 9, 0.0f, 9}));

    // 24 bits left-justified in 32: the upper 16 bits are the sample.
    const std::int32_t aiFrames[4] = {0x12345600, 0x7FFFFF00, -0x01000000, 0};
    float afIn[2];
    WasapiInputToFloats(Format(2, 32, 24, false), aiFrames, 0, afIn, 2);
    EXPECT_EQ(std::vector<float>(afIn, afIn + 2), (std::vector<float>{4660.0f, -256.0f}));

    // A channel the format lacks reads silence and writes nothing.
    WasapiInputToFloats(stereo, afFrames, 2, afRight, 3);
    EXPECT_EQ(std::vector<float>(afRight, afRight + 3), std::vector<float>(3, 0.0f));
    WasapiFloatsToOutput(stereo, afLeft, afOut, 2, 3);
    EXPECT_EQ(afOut[1], 9.0f);
}

} // namespace
