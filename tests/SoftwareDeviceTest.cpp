#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "render/Renderer.h"
#include "render/software/SoftwareDevice.h"
#include "tests/TestSupport.h"

namespace {

constexpr std::uint32_t kBack = 0x102030;

class SoftwareDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_pRenderDevice = &dev;
        SetRenderStates();
        dev.Clear(kBack);
    }
    void TearDown() override { g_pRenderDevice = nullptr; }

    void Blend(BlendFactor src, BlendFactor dest)
    {
        dev.SetRenderState(RenderState::SrcBlend, static_cast<std::uint32_t>(src));
        dev.SetRenderState(RenderState::DestBlend, static_cast<std::uint32_t>(dest));
    }
    // Whether the pixels of colour rgb are exactly those of columns l..r, rows t..b.
    bool Covers(std::uint32_t rgb, int l, int t, int r, int b) const
    {
        for (int y = 0; y < dev.Height(); ++y)
            for (int x = 0; x < dev.Width(); ++x)
                if ((dev.Pixel(x, y) == rgb) != (x >= l && x <= r && y >= t && y <= b))
                    return false;
        return true;
    }
    int Count(std::uint32_t rgb) const { return int(std::count(dev.Pixels().begin(), dev.Pixels().end(), rgb)); }
    static int Red(std::uint32_t p) { return int(p >> 16) & 0xFF; }

    CSoftwareDevice dev{600, 64};
};

TEST_F(SoftwareDeviceTest, RectanglesCoverExactlyTheirPixelsAndEachOnce)
{
    RenderRect(10, 5, 20, 12, 0xff336699u);  // form 1: columns 10..19, rows 5..11
    EXPECT_TRUE(Covers(0x336699, 10, 5, 19, 11));
    RenderRect(30, 5, 40, 12, 0xff445566u, 0xff445566u, 1);  // form 3: one more each way
    EXPECT_TRUE(Covers(0x445566, 30, 5, 40, 12));

    // Additive blending shows pixels drawn twice: the strip's two triangles and two
    // rectangles sharing an edge must touch every pixel exactly once.
    dev.Clear(0);
    dev.SetRenderState(RenderState::AlphaBlendEnable, 1);
    Blend(BlendFactor::One, BlendFactor::One);
    RenderRect(3, 2, 50, 40, 0xff101010u, 0xff101010u, 4);
    RenderRect(51, 2, 90, 40, 0xff101010u, 0xff101010u, 4);
    EXPECT_TRUE(Covers(0x101010, 3, 2, 90, 40));
}

TEST_F(SoftwareDeviceTest, ShapesFarOutsideTheImageDrawNothing)
{
    // Coordinates past what an int holds must neither wrap onto the image nor
    // walk billions of empty rows.
    const ColouredVertex far[4] = {{3e9f, 3e9f, 0.5f, 1.0f, 0xffffffffu}, {4e9f, 3e9f, 0.5f, 1.0f, 0xffffffffu},
                                   {3e9f, 4e9f, 0.5f, 1.0f, 0xffffffffu}, {4e9f, 4e9f, 0.5f, 1.0f, 0xffffffffu}};
    EXPECT_TRUE(dev.DrawStrip(far, 4));
    const ColouredVertex before[4] = {{-4e9f, -4e9f, 0.5f, 1.0f, 0xffffffffu}, {-3e9f, -4e9f, 0.5f, 1.0f, 0xffffffffu},
                                      {-4e9f, 10.0f, 0.5f, 1.0f, 0xffffffffu}, {-3e9f, 10.0f, 0.5f, 1.0f, 0xffffffffu}};
    EXPECT_TRUE(dev.DrawStrip(before, 4));
    EXPECT_EQ(Count(kBack), dev.Width() * dev.Height());
}

TEST_F(SoftwareDeviceTest, RaisedBoxLightsTopLeftAndDarkensBottomRight)
{
    Blend(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
    RenderBox(0, 0, 582, 30, 0xffe0e0e0u, 0xff202020u);
    for (int y = 0; y <= 30; ++y)  // left light; right dark below the top row
        EXPECT_TRUE(dev.Pixel(0, y) == 0xe0e0e0u && (y == 0 || dev.Pixel(582, y) == 0x202020u)) << y;
    for (int x = 0; x <= 582; ++x)  // top light; bottom dark right of the left column
        EXPECT_TRUE(dev.Pixel(x, 0) == 0xe0e0e0u && (x == 0 || dev.Pixel(x, 30) == 0x202020u)) << x;
    EXPECT_TRUE(Count(0xe0e0e0) == 31 + 582 && Count(0x202020) == 30 + 581);
    EXPECT_EQ(dev.Pixel(583, 0), kBack);
    EXPECT_EQ(dev.Pixel(0, 31), kBack);
}

TEST_F(SoftwareDeviceTest, GouraudColourAndAlphaRunLinearlyBetweenTheCorners)
{
    auto expectRamp = [&](int y) {  // 0 at x = 0 rising linearly to 255 at x = 256
        for (int x = 0; x < 256; ++x)
            EXPECT_NEAR(Red(dev.Pixel(x, y)), x * 255 / 256.0, 0.51) << x;
        EXPECT_TRUE(Red(dev.Pixel(0, y)) == 0 && Red(dev.Pixel(255, y)) == 254);
    };
    RenderRect(0, 0, 255, 3, 0xff000000u, 0xffff0000u, 2);  // horizontal, black to red
    expectRamp(1);
    // White fading in over black: alpha is interpolated like the colours.
    dev.Clear(0);
    dev.SetRenderState(RenderState::AlphaBlendEnable, 1);
    Blend(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
    RenderRect(0, 10, 255, 12, 0x00ffffffu, 0xffffffffu, 2);
    expectRamp(11);
    RenderRect(0, 20, 10, 80, 0xff0000ffu, 0xff00ff00u);  // form 2: blue at the top, green below
    EXPECT_EQ(dev.Pixel(5, 20), 0x0000ffu);
    for (int y = 21; y < 64; ++y)
        EXPECT_GT(dev.Pixel(5, y) >> 8, dev.Pixel(5, y - 1) >> 8) << y;
}

RgbImage Noise(int w, int h)
{
    RgbImage img(w, h);
    std::uint32_t s = 12345;
    for (RgbPixel& p : img.pixels)
        s = s * 1664525u + 1013904223u, p = RgbPixel{std::uint8_t(s >> 24), std::uint8_t(s >> 16), 1};
    return img;
}

TEST_F(SoftwareDeviceTest, TexturesTileEveryScalePixelsWithWrappedBilinearFilter)
{
    const RgbImage wood = Noise(256, 256);
    ASSERT_TRUE(dev.LoadTexture(TEX_WOOD, wood));
    RenderRectTex(0, 0, 583, 30, TEX_WOOD, 0, 256.0f);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x + 256 < 583; ++x)
            ASSERT_EQ(dev.Pixel(x, y), dev.Pixel(x + 256, y)) << x << "," << y;
    // Pixel (x, y) samples at texel coordinates (x - 0.5, y - 0.5): the mean of four
    // texels, wrapping round at the edges.
    auto red = [&](int x, int y) { return int(wood.At((x + 256) % 256, (y + 256) % 256).r); };
    for (int x : {0, 1, 100, 255})
        EXPECT_NEAR(Red(dev.Pixel(x, 0)), (red(x - 1, -1) + red(x, -1) + red(x - 1, 0) + red(x, 0)) / 4.0, 1.0) << x;
    dev.SetStageState(StageState::LinearFilter, 0);  // nearest: exactly the texel
    RenderRectTex(0, 30, 583, 64, TEX_WOOD, 0, 256.0f);
    EXPECT_EQ(Red(dev.Pixel(300, 40)), red(44, 40));
}

TEST_F(SoftwareDeviceTest, ColourKeySkipsBlackTexelsAndKeepsThemOutOfTheMix)
{
    RgbImage half(2, 2);  // left column black, right column white
    half.At(1, 0) = half.At(1, 1) = RgbPixel{255, 255, 255};
    ASSERT_TRUE(dev.LoadTexture(TEX_KNOB, half));
    RenderRectTex(0, 0, 8, 8, TEX_KNOB, 0);  // unkeyed: black, then a soft edge
    EXPECT_TRUE(dev.Pixel(4, 3) == 0x808080u && dev.Pixel(2, 3) == 0u);
    dev.Clear(kBack);
    dev.SetRenderState(RenderState::ColorKeyEnable, 1);
    RenderRectTex(10, 0, 18, 8, TEX_KNOB, 0);
    EXPECT_TRUE(Covers(0xffffff, 14, 0, 17, 7));
    EXPECT_EQ(Count(kBack), 600 * 64 - 32);
}

TEST_F(SoftwareDeviceTest, ColourKeyKeepsTheNearestTexelWhenItsBilinearShareRoundsToNothing)
{
    // Past 2^23 texels the bilinear sample point (u - half a texel) rounds to a
    // whole texel: the nearest texel's share is 0 and, the other texel keyed out,
    // nothing is left to mix. The pixel takes the nearest texel.
    RgbImage pair(2, 1);  // black, red
    pair.At(1, 0) = RgbPixel{255, 0, 0};
    ASSERT_TRUE(dev.LoadTexture(TEX_KNOB, pair));
    dev.SetRenderState(RenderState::ColorKeyEnable, 1);
    dev.SetTexture(TEX_KNOB);
    const float u = 4194304.5f;  // 8388609 texels: the red one
    const TexturedVertex quad[4] = {{0, 0, 0.5f, 1, u, 0.5f}, {4, 0, 0.5f, 1, u, 0.5f},
                                    {0, 4, 0.5f, 1, u, 0.5f}, {4, 4, 0.5f, 1, u, 0.5f}};
    ASSERT_TRUE(dev.DrawStrip(quad, 4));
    EXPECT_TRUE(Covers(0xff0000, 0, 0, 3, 3));
}

TEST_F(SoftwareDeviceTest, BlendPairs)
{
    RgbImage flat(4, 4);
    std::fill(flat.pixels.begin(), flat.pixels.end(), RgbPixel{0x20, 0x40, 0xf0});
    ASSERT_TRUE(dev.LoadTexture(TEX_LIGHTMAP, flat));
    SetRenderStates();
    RenderRectTex(0, 0, 10, 10, TEX_LIGHTMAP, 1, 256.0f);  // source alpha + destination alpha: adds
    EXPECT_TRUE(dev.Pixel(5, 5) == 0x3060ffu && dev.Pixel(10, 5) == kBack);  // blue saturates
    Blend(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
    RenderLine(0, 20, 10, 20, 0x80ffffffu);  // half over the background
    EXPECT_EQ(dev.Pixel(3, 20), 0x889098u);
    dev.SetRenderState(RenderState::AlphaBlendEnable, 1);
    Blend(BlendFactor::One, BlendFactor::Zero);
    RenderRect(0, 30, 10, 40, 0x00aabbccu, 0x00aabbccu, 1);  // replaces, alpha ignored
    EXPECT_EQ(dev.Pixel(5, 35), 0xaabbccu);
}

TEST_F(SoftwareDeviceTest, LinesStopBeforeTheirLastVertex)
{
    Blend(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
    RenderLine(5, 5, 15, 5, 0xffffffffu);
    EXPECT_TRUE(Covers(0xffffff, 5, 5, 14, 5));
    RenderLine(40, 0, 50, 5, 0xff00ff00u);  // shallow: one pixel per column
    EXPECT_TRUE(Count(0x00ff00) == 10 && dev.Pixel(40, 0) == 0x00ff00u && dev.Pixel(50, 5) == kBack);
    ColouredVertex v[4];
    SetLineVertices(v, 0, 100, 40, 100, 10, 0xff000000u, 0xffff0000u);  // upwards, black to red
    SetLineVertices(v, 2, 0, 0, 0, 0, 0xffffffffu, 0xffffffffu);        // empty: draws nothing
    ASSERT_EQ(RenderLine(2, v), 1);
    EXPECT_EQ(dev.Pixel(100, 40), 0u);
    EXPECT_TRUE(dev.Pixel(100, 10) == kBack && dev.Pixel(0, 0) == kBack);
    for (int y = 39; y > 10; --y)
        EXPECT_GT(Red(dev.Pixel(100, y)), Red(dev.Pixel(100, y + 1))) << y;
}

TEST(SoftwareDevice, LoadsThePanelTexturesThatExist)
{
    const std::string dir = std::string(TestLogDirectory()) + "/soft-textures";
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(WriteBmpFile(dir + "/Blackwood4.bmp", Noise(8, 4), &error)) << error;
    ASSERT_TRUE(WriteBmpFile(dir + "/LightMap9.bmp", Noise(4, 4), &error)) << error;
    std::filesystem::remove(dir + "/Knob33a.bmp");
    CSoftwareDevice dev(4, 4);
    EXPECT_EQ(dev.LoadPanelTextures(dir), 2);
    EXPECT_TRUE(dev.HasTexture(0) && dev.HasTexture(4) && !dev.HasTexture(1));
    EXPECT_FALSE(dev.LoadTexture(2, RgbImage()));
}

} // namespace
