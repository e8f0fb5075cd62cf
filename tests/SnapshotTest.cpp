// The software device's text: where the strings land for each alignment and in
// which colour. Whole frames, the title among them, are the golden frames' part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "render/TextQueue.h"
#include "render/software/FontRenderer.h"
#include "render/software/SoftwareDevice.h"

namespace {

// The bounds (inclusive) of the pixels that are not black; x2 < 0 when none is lit.
struct Box { int x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1; };
Box LitBox(const CSoftwareDevice& d)
{
    Box b;
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x)
            if (d.Pixel(x, y) != 0)
                b = {std::min(b.x1, x), std::min(b.y1, y), std::max(b.x2, x), std::max(b.y2, y)};
    return b;
}

class TextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(font.Open(FindDefaultFontFile(), CFontRenderer::kDefaultPixelHeight, &error)) << error;
    }
    // One string on a black canvas.
    CSoftwareDevice Drawn(int x, int y, std::uint32_t colour, const char* s, unsigned uAlign)
    {
        CSoftwareDevice d(200, 40);
        d.SetTextRenderer(&font);
        d.Clear(0);
        d.DrawTextAt(x, y, colour, s, uAlign);
        return d;
    }
    CFontRenderer font;
};

TEST_F(TextTest, AlignmentsPlaceTheSameGlyphsAtTheReferencePoint)
{
    const char* s = "Tuner 110.00 Hz";
    const int w = font.TextWidth(s);
    ASSERT_GT(w, 50);
    const CSoftwareDevice left = Drawn(100 - w, 10, 0xffffff, s, TEXT_LEFT);
    const CSoftwareDevice right = Drawn(100, 10, 0xffffff, s, TEXT_RIGHT);
    const CSoftwareDevice centre = Drawn(100, 10, 0xffffff, s, TEXT_CENTRE);
    EXPECT_EQ(right.Pixels(), left.Pixels());
    EXPECT_EQ(centre.Pixels(), Drawn(100 - w / 2, 10, 0xffffff, s, TEXT_LEFT).Pixels());

    const Box r = LitBox(right), c = LitBox(centre);
    EXPECT_TRUE(r.x2 >= 97 && r.x2 <= 99) << r.x2;  // the right end at x: "z" has a small side bearing
    EXPECT_LE(std::abs((c.x1 + c.x2) - 2 * 100), 3);  // centred on x within a pixel or so
    // Strings across the edges are clipped, not dropped.
    EXPECT_NE(LitBox(Drawn(-5, -4, 0xffffff, s, TEXT_LEFT)).x2, -1);
    EXPECT_NE(LitBox(Drawn(5, 34, 0xffffff, s, TEXT_RIGHT)).x2, -1);
    EXPECT_NE(LitBox(Drawn(200, -4, 0xffffff, s, TEXT_CENTRE)).x2, -1);
}

TEST_F(TextTest, TheCellTopIsAtYAndTheColourIsReadAsBlueGreenRed)
{
    EXPECT_EQ(font.Ascent() + font.Descent(), 13);  // the 8-point cell: 10 above the baseline, 3 below
    const CSoftwareDevice d = Drawn(20, 10, 0x00ff0000u, "Tgy", TEXT_LEFT);
    const Box b = LitBox(d);
    EXPECT_TRUE(b.y1 >= 11 && b.y1 <= 12) << b.y1;  // capitals start a pixel or two below the cell top
    EXPECT_TRUE(b.y2 >= 20 && b.y2 <= 22) << b.y2;  // descenders reach into the bottom of the cell
    EXPECT_TRUE(b.x1 >= 20 && b.x1 <= 21) << b.x1;
    const auto& px = d.Pixels();
    EXPECT_TRUE(std::all_of(px.begin(), px.end(), [](std::uint32_t p) { return (p & 0xffff00u) == 0; }))
        << "COLORREF blue must land in the blue channel only";
    EXPECT_NE(std::find(px.begin(), px.end(), 0x0000ffu), px.end()) << "stems are fully covered";
}

} // namespace
