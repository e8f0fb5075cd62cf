#include <gtest/gtest.h>

#include <string>

#include "render/d3d/DeviceCaps.h"
#include "tests/TestSupport.h"

TEST(DeviceCaps, FlagLinesPadNamesToFortyAndNeedEveryBit)
{
    // 26 characters: 14 blanks before the verdict.
    EXPECT_EQ(CapsFlagLine(0x80000, 0x80000, "D3DDEVCAPS_HWRASTERIZATION"),
              "D3DDEVCAPS_HWRASTERIZATION" + std::string(14, ' ') + "TRUE");
    EXPECT_EQ(CapsFlagLine(0x1, 0x3, "TWO_BITS"), "TWO_BITS" + std::string(32, ' ') + "FALSE");
    const std::string longName(45, 'X');
    EXPECT_EQ(CapsFlagLine(0, 1, longName.c_str()), longName + "FALSE");
    EXPECT_EQ(CapsFlagLine(0xFF, 0x10, std::string(40, 'Y').c_str()), std::string(40, 'Y') + "TRUE");

    EXPECT_EQ(LogCapsFlag(0x1234, 0x1200, "D3DPTEXTURECAPS_POW2"), 0x1200u);
    EXPECT_EQ(LogCapsFlag(0x1234, 0x8000, "D3DPTEXTURECAPS_SQUAREONLY"), 0u);
    EXPECT_EQ(CountLogLines("D3DPTEXTURECAPS_SQUAREONLY" + std::string(14, ' ') + "FALSE"), 1);
}

TEST(DeviceCaps, ChannelWidthsComeFromTheMasksOfRgbFormatsOnly)
{
    const ChannelBits x888 = RgbChannelBits(true, 0xFF0000, 0x00FF00, 0x0000FF);
    EXPECT_EQ(x888.red * 100 + x888.green * 10 + x888.blue, 888);
    const ChannelBits r565 = RgbChannelBits(true, 0xF800, 0x07E0, 0x001F);
    EXPECT_EQ(r565.red * 100 + r565.green * 10 + r565.blue, 565);
    const ChannelBits r555 = RgbChannelBits(true, 0x7C00, 0x03E0, 0x001F);
    EXPECT_EQ(r555.red * 100 + r555.green * 10 + r555.blue, 555);

    const ChannelBits notRgb = RgbChannelBits(false, 0xFF0000, 0xFF00, 0xFF);
    EXPECT_EQ(notRgb.red + notRgb.green + notRgb.blue, 0);
    const ChannelBits noBlue = RgbChannelBits(true, 0xFF0000, 0xFF00, 0);
    EXPECT_EQ(noBlue.red + noBlue.green + noBlue.blue, 0);
    EXPECT_EQ(MaskBits(0x80000000u), 1);
    EXPECT_EQ(MaskBits(0xFFFFFFFFu), 32);
}

TEST(DeviceCaps, TextureSizesFollowPowerOfTwoAndSquareRules)
{
    auto fit = [](int w, int h, bool bPow2, bool bSquare) {
        FitTextureSize(&w, &h, bPow2, bSquare);
        return std::to_string(w) + "x" + std::to_string(h);
    };
    EXPECT_EQ(fit(100, 60, true, true), "128x128");
    EXPECT_EQ(fit(100, 60, true, false), "128x64");
    EXPECT_EQ(fit(100, 60, false, true), "100x100");
    EXPECT_EQ(fit(100, 60, false, false), "100x60");
    EXPECT_EQ(fit(256, 256, true, true), "256x256");  // already fine: unchanged
    EXPECT_EQ(fit(1, 33, true, false), "1x64");
}
