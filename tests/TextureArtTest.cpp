// The bitmap files and the generated panel art: files any bitmap loader takes, the
// same bytes every run, and pictures that fit the way the panel draws them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/BmpFile.h"
#include "tests/TestSupport.h"
#include "tools/TextureArt.h"

namespace {

int Sum(RgbPixel p) { return p.r + p.g + p.b; }
int Diff(RgbPixel a, RgbPixel b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }
bool IsBlack(RgbPixel p) { return p == RgbPixel{}; }
// Distance of a texel's centre from the middle of the knob texture, in texels.
double FromCentre(int x, int y) { return std::hypot(x + 0.5 - kKnobSize / 2.0, y + 0.5 - kKnobSize / 2.0); }

TEST(BmpFile, HeadersPaddingRoundTripAndDamage)
{
    const int cases[][2] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {78, 236}};  // width, bytes per row
    for (const auto& c : cases)
    {
        const int w = c[0], stride = c[1];
        SCOPED_TRACE(w);
        RgbImage img(w, 3);
        for (int i = 0; i < 3 * w; ++i)
            img.pixels[i] = RgbPixel{static_cast<std::uint8_t>(i % w), static_cast<std::uint8_t>(10 * (i / w) + 1), 200};
        const std::vector<std::uint8_t> b = EncodeBmp(img);
        ASSERT_EQ(b.size(), 54u + 3u * stride);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 2), "BM");
        // File size, pixel offset, info header size, width, height (positive: bottom-up),
        // one plane and 24 bits, BI_RGB, image size; all little-endian.
        const std::uint32_t want[] = {54u + 3u * stride, 54, 40, static_cast<std::uint32_t>(w), 3, 1u | (24u << 16),
                                      0, 3u * stride};
        const size_t at[] = {2, 10, 14, 18, 22, 26, 30, 34};
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(b[at[i]] | b[at[i] + 1] << 8 | b[at[i] + 2] << 16 | std::uint32_t{b[at[i] + 3]} << 24, want[i]) << at[i];
        // The first stored row is the bottom one, blue first, then zero padding.
        EXPECT_EQ(std::vector<int>(b.begin() + 54, b.begin() + 57), (std::vector<int>{200, 21, 0}));
        EXPECT_EQ(std::count(b.begin() + 54 + 3 * w, b.begin() + 54 + stride, 0), stride - 3 * w);
        RgbImage back;
        ASSERT_TRUE(DecodeBmp(b, &back, nullptr));
        EXPECT_TRUE(back.iWidth == w && back.pixels == img.pixels);

        std::vector<std::uint8_t> cut(b.begin(), b.end() - 1), notBm = b, bits16 = b;
        notBm[0] = 'X';
        bits16[28] = 16;
        for (const auto& bad : {cut, notBm, bits16})
        {
            std::string error;
            EXPECT_FALSE(DecodeBmp(bad, &back, &error));
            EXPECT_TRUE(!error.empty() && back.iWidth == 0);
        }
    }
}

// Headers whose pixel offset plus pixel bytes pass 4 GB (1 x 64 at offset
// 0xFFFFFF00, 4096 x 4096 at 0xFD000000): summed in a 32-bit size they wrap to a
// few bytes and the rows would be read from outside the 54-byte file.
TEST(BmpFile, OffsetsPastFourGigabytesAreCutShortNotWrapped)
{
    for (const char* name : {"bmp-offset-wraps-1x64.bmp", "bmp-offset-wraps-4096x4096.bmp"})
    {
        SCOPED_TRACE(name);
        RgbImage image(1, 1);
        std::string error;
        EXPECT_FALSE(ReadBmpFile(TestDataPath(name), &image, &error));
        EXPECT_NE(error.find("cut short"), std::string::npos) << error;
        EXPECT_EQ(image.iWidth, 0);
    }
}

TEST(TextureArt, SixFilesOfFixedSizeSameBytesEveryRun)
{
    const struct { const char* name; int w, h; } want[] = {
        {"Blackwood4.bmp", 256, 256}, {"Knob33a.bmp", 64, 64},     {"KnobNotch3-a.bmp", 64, 64},
        {"KnobNotch3-b.bmp", 64, 64}, {"LightMap9.bmp", 256, 256}, {"AsioLogo.bmp", 78, 48}};
    const std::vector<TextureFile> first = MakeAllTextures(), again = MakeAllTextures();
    ASSERT_EQ(first.size(), 6u);
    const std::string dir = std::string(TestLogDirectory()) + "/";
    std::string error;
    for (size_t i = 0; i < first.size(); ++i)
    {
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(first[i].name, want[i].name);
        EXPECT_TRUE(first[i].image.iWidth == want[i].w && first[i].image.iHeight == want[i].h);
        EXPECT_TRUE(EncodeBmp(first[i].image) == EncodeBmp(again[i].image));
        RgbImage back;
        ASSERT_TRUE(WriteBmpFile(dir + first[i].name, first[i].image, &error)) << error;
        ASSERT_TRUE(ReadBmpFile(dir + first[i].name, &back, &error)) << error;
        EXPECT_TRUE(back.pixels == first[i].image.pixels);
    }
    EXPECT_FALSE(WriteBmpFile(dir + "missing/x.bmp", first[0].image, &error));
    EXPECT_NE(error.find("missing/x.bmp"), std::string::npos);
}

TEST(TextureArt, WoodIsDarkAndTilesWithoutSeams)
{
    // Across the tile edges the wood must change no more than between neighbours inside.
    const RgbImage w = MakeWoodTexture();
    const int n = kWoodSize - 1;
    double inX = 0, inY = 0, wrapX = 0, wrapY = 0, total = 0;
    for (int i = 0; i <= n; ++i)
    {
        for (int j = 0; j < n; ++j)
        {
            inX += Diff(w.At(j, i), w.At(j + 1, i)) / static_cast<double>(n);
            inY += Diff(w.At(i, j), w.At(i, j + 1)) / static_cast<double>(n);
            total += Sum(w.At(i, j)) / 3.0;
        }
        wrapX += Diff(w.At(n, i), w.At(0, i));
        wrapY += Diff(w.At(i, n), w.At(i, 0));
    }
    EXPECT_GT(inX, 0.5 * kWoodSize);  // there is grain to see
    EXPECT_LT(wrapX, 1.3 * inX);
    EXPECT_LT(wrapY, 1.3 * inY);
    EXPECT_LT(total / (kWoodSize * n), 60.0);  // dark, under the light text
}

TEST(TextureArt, KnobBodyIsALitDiscOnBlack)
{
    const RgbImage k = MakeKnobBody();
    int spills = 0, holes = 0;  // colour where the panel must show through; keyed-out texels on the knob
    for (int y = 0; y < kKnobSize; ++y)
        for (int x = 0; x < kKnobSize; ++x)
        {
            spills += FromCentre(x, y) > kKnobSize / 2.0 && !IsBlack(k.At(x, y));
            holes += FromCentre(x, y) < kKnobSize / 2.0 - 3.0 && IsBlack(k.At(x, y));
        }
    EXPECT_EQ(spills, 0);
    EXPECT_EQ(holes, 0);
    // The rim catches the light on the upper left, as the notch variants assume.
    EXPECT_GT(Sum(k.At(13, 13)), Sum(k.At(kKnobSize - 14, kKnobSize - 14)) + 30);
}

TEST(TextureArt, NotchesAreUpwardPointersMirroredForTheTwoBearingRanges)
{
    // The knob turns the notch so that the texture's top edge points along the bearing.
    const RgbImage a = MakeKnobNotch(false), b = MakeKnobNotch(true);
    int count = 0, stray = 0, unmirrored = 0, left = 0, right = 0;
    for (int y = 0; y < kKnobSize; ++y)
        for (int x = 0; x < kKnobSize; ++x)
        {
            unmirrored += b.At(x, y) != a.At(kKnobSize - 1 - x, y);
            if (IsBlack(a.At(x, y)))
                continue;
            ++count;
            stray += std::abs(x + 0.5 - kKnobSize / 2.0) > 0.1 * kKnobSize || y >= kKnobSize / 2 ||
                     FromCentre(x, y) > kKnobDiscRadius * kKnobSize / 2.0;
            (x < kKnobSize / 2 ? left : right) += Sum(a.At(x, y));
        }
    EXPECT_EQ(unmirrored, 0);
    EXPECT_EQ(stray, 0);  // only a narrow pointer from the middle up, on the knob
    EXPECT_TRUE(count > kKnobSize * kKnobSize / 100 && count < kKnobSize * kKnobSize / 10) << count;
    // Variant a serves bearings from straight up to 3*pi/4, where the pointer's left
    // side faces the light from the upper left: the engraving's right wall is lit.
    EXPECT_GT(right, left);
}

TEST(TextureArt, LightMapIsSoftBrightestInTheMiddleAndNeverBlack)
{
    const RgbImage m = MakeLightMap();
    const int n = kLightMapSize - 1;
    for (RgbPixel corner : {m.At(0, 0), m.At(n, 0), m.At(0, n), m.At(n, n)})
        EXPECT_GT(Sum(m.At(n / 2, n / 2)), Sum(corner) + 60);
    EXPECT_GT(Sum(m.At(n / 2, 8)), Sum(m.At(n / 2, n - 8)));  // the top is the lit side
    int outOfRange = 0, steps = 0;  // too dark or too bright for the text on top; visible steps
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x)
        {
            const RgbPixel p = m.At(x, y);
            outOfRange += std::min({p.r, p.g, p.b}) < 32 || std::max({p.r, p.g, p.b}) > 140;
            steps += (x < n && Diff(p, m.At(x + 1, y)) > 6) + (y < n && Diff(p, m.At(x, y + 1)) > 6);
        }
    EXPECT_EQ(outOfRange, 0);
    EXPECT_EQ(steps, 0);
}

}  // namespace
