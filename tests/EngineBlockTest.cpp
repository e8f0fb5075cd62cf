// The block run every back end shares, with each back end's buffer layout: the
// input converted into the engine's buffer at the stream's place, the output
// converted back, the place alternating between the two halves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/EngineBlock.h"
#include "audio/SampleConversion.h"
#include "audio/wasapi/WasapiFormat.h"
#include "dsp/SampleBuffer.h"

namespace {

constexpr int kBlock = 4;

struct Stream
{
    CSampleBuffer input;
    EngineBlock blocks;
    Stream()
    {
        input.Init("test", "input", 2 * kBlock, kBlock);
        StartEngineBlocks(blocks, &input, kBlock);
    }
    ~Stream() { input.Release("test", "input"); }
};

TEST(EngineBlock, EachBackEndsLayoutPassesThroughWithoutAnEngine)
{
    // ASIO: a buffer of its own per channel, 32-bit input and 16-bit output.
    {
        Stream s;
        std::int32_t aiLeft[kBlock] = {0x10000, -0x20000, 0x7FFFFFFF, 0};
        std::int32_t aiRight[kBlock] = {0x30000, 0, 0, -0x10000};
        std::int16_t anLeft[kBlock] = {}, anRight[kBlock] = {};
        RunEngineBlock(s.blocks, nullptr, {ASIOSTInt32LSB, aiLeft, 0}, {ASIOSTInt32LSB, aiRight, 0},
                       {ASIOSTInt16LSB, anLeft, 0}, {ASIOSTInt16LSB, anRight, 0});
        EXPECT_EQ(std::vector<std::int16_t>(anLeft, anLeft + kBlock), (std::vector<std::int16_t>{1, -2, 32767, 0}));
        EXPECT_EQ(std::vector<std::int16_t>(anRight, anRight + kBlock), (std::vector<std::int16_t>{3, 0, 0, -1}));
        EXPECT_EQ(s.blocks.iOffset, kBlock);
        EXPECT_EQ(s.input.Channel(0)[0], 1.0f);
    }
    // Kernel streaming: 16-bit stereo frames in one ring; in mono the left input
    // feeds both channels. Two blocks: the second goes in the second half.
    {
        Stream s;
        std::int16_t anIn[2 * kBlock] = {100, -1, 200, -2, 300, -3, 400, -4};
        std::int16_t anOut[2 * kBlock] = {};
        for (int iBlock = 0; iBlock < 2; ++iBlock)
            RunEngineBlock(s.blocks, nullptr, {ASIOSTInt16LSB, anIn, 4}, {ASIOSTInt16LSB, anIn, 4},
                           {ASIOSTInt16LSB, anOut, 4}, {ASIOSTInt16LSB, anOut + 1, 4});
        EXPECT_EQ(std::vector<std::int16_t>(anOut, anOut + 2 * kBlock),
                  (std::vector<std::int16_t>{100, 100, 200, 200, 300, 300, 400, 400}));
        EXPECT_EQ(s.blocks.iOffset, 0);
        EXPECT_EQ(s.input.Channel(1)[kBlock + 3], 400.0f);
    }
    // Windows audio: interleaved float frames in, 16-bit stereo frames out; the
    // endpoint's extra channels stay as they were.
    {
        Stream s;
        WasapiFormat in{4, 48000, 32, 32, true};
        WasapiFormat out{3, 48000, 16, 16, false};
        std::vector<float> afIn(4 * kBlock);
        for (int i = 0; i < kBlock; ++i)
        {
            afIn[4 * i] = 0.5f;
            afIn[4 * i + 1] = -0.25f * static_cast<float>(i);
        }
        std::vector<std::int16_t> anOut(3 * kBlock, 7);
        RunEngineBlock(s.blocks, nullptr, WasapiChannel(in, afIn.data(), 0), WasapiChannel(in, afIn.data(), 1),
                       WasapiChannel(out, anOut.data(), 0), WasapiChannel(out, anOut.data(), 1));
        EXPECT_EQ(anOut, (std::vector<std::int16_t>{16384, 0, 7, 16384, -8192, 7, 16384, -16384, 7, 16384, -24576, 7}));
    }
}

} // namespace
