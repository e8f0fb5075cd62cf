// The drawing helpers' calls and states as the device receives them: the corner
// colours of each gradient mode, the panel fill, lists of lines and failing draws.
// Where the pixels land is the software device's and the golden frames' part.
#include <gtest/gtest.h>

#include "render/RecordingDevice.h"
#include "render/Renderer.h"
#include "tests/TestSupport.h"

namespace {

using Kind = CRecordingDevice::Kind;

class RendererTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_pRenderDevice = &device;
        g_bRichRendering = 1;
    }
    void TearDown() override { g_pRenderDevice = nullptr; }

    static std::uint32_t State(const CRecordingDevice::Call& c, RenderState s) { return c.renderStates.at(int(s)); }
    static std::uint32_t Stage(const CRecordingDevice::Call& c, StageState s) { return c.stageStates.at(int(s)); }
    static constexpr std::uint32_t kOff = static_cast<std::uint32_t>(TextureOp::Disable);

    CRecordingDevice device;
};

void ExpectCorners(const std::vector<ColouredVertex>& v, float l, float t, float r, float b)
{
    ASSERT_EQ(v.size(), 4u);
    const float expected[4][2] = {{l, t}, {r, t}, {l, b}, {r, b}};  // TL, TR, BL, BR
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(v[i].x, expected[i][0]) << i;
        EXPECT_EQ(v[i].y, expected[i][1]) << i;
        EXPECT_EQ(v[i].z, 0.5f);
        EXPECT_EQ(v[i].rhw, 1.0f);
    }
}

TEST_F(RendererTest, FormThreeCoversOnePixelMoreAndColoursByMode)
{
    const std::uint32_t a = 0x40102030u, b = 0x80305070u;
    const std::uint32_t mix = 0x00203850u;  // channel averages, alpha 0
    const std::uint32_t expected[5][4] = {
        {},
        {a, a, b, b},      // vertical
        {a, b, a, b},      // horizontal
        {a, mix, mix, b},  // diagonal
        {a, b, b, a},      // crossed
    };
    device.SetRenderState(RenderState::AlphaBlendEnable, 1);
    for (int mode = 1; mode <= 4; ++mode)
    {
        ASSERT_EQ(RenderRect(5, 6, 7, 8, a, b, mode), 1);
        const auto d = device.Draws().back();
        ExpectCorners(d.coloured, 5, 6, 8, 9);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(d.coloured[i].colour, expected[mode][i]) << "mode " << mode << " corner " << i;
        EXPECT_EQ(State(d, RenderState::AlphaBlendEnable), 1u);  // left as it was
        EXPECT_EQ(Stage(d, StageState::ColorOp), kOff);
    }
}

TEST_F(RendererTest, PanelFillsWithTheLightMapOrFlatGrey)
{
    RenderPanel(432, 68, 532, 125, 0xf0000000u, 0xff707070u);
    auto draws = device.Draws();
    ASSERT_EQ(draws.size(), 9u);  // two boxes and the fill
    EXPECT_EQ(draws[8].kind, Kind::TexturedStrip);
    EXPECT_EQ(draws[8].iTexture, TEX_LIGHTMAP);
    EXPECT_EQ(draws[8].textured[3].x, 531.0f);
    EXPECT_EQ(draws[4].coloured[0].x, 433.0f);  // the inner box

    device.m_Calls.clear();
    g_bRichRendering = 0;
    RenderPanel(432, 68, 532, 125, 0xf0000000u, 0xff707070u);
    draws = device.Draws();
    ASSERT_EQ(draws.size(), 9u);
    ExpectCorners(draws[8].coloured, 434, 70, 530, 123);
    EXPECT_EQ(draws[8].coloured[0].colour, 0xff606060u);
}

TEST_F(RendererTest, LineListsAndFailures)
{
    ColouredVertex v[4];
    SetLineVertices(v, 0, 23, 161, 23, 100, 0x707070ADu, 0xA0A0A0DDu);
    SetLineVertices(v, 2, 24, 161, 24, 110, 0x707070ADu, 0xA0A0A0DDu);
    EXPECT_EQ(RenderLine(0, v), 0);
    EXPECT_TRUE(device.Draws().empty());
    ASSERT_EQ(RenderLine(2, v), 1);
    const auto d = device.Draws().back();
    ASSERT_EQ(d.coloured.size(), 4u);
    EXPECT_EQ(d.coloured[3].y, 110.0f);
    EXPECT_EQ(d.coloured[1].colour, 0xA0A0A0DDu);
    EXPECT_EQ(State(d, RenderState::AlphaBlendEnable), 0u);

    device.m_bFailDraws = true;
    const int before = CountLogLines("RenderRectTex() 1 - DrawPrimitive() FAILED");
    EXPECT_EQ(RenderRectTex(0, 0, 10, 10, TEX_WOOD, 1, 256.0f), 0);
    EXPECT_EQ(CountLogLines("RenderRectTex() 1 - DrawPrimitive() FAILED"), before + 1);
    EXPECT_EQ(device.RenderStateNow(RenderState::AlphaBlendEnable), 1);  // stays as set for the draw
    EXPECT_EQ(RenderRect(0, 0, 1, 1, 0u, 0u, 1), 0);
    EXPECT_EQ(CountLogLines("RenderRect() 3 - DrawPrimitive() FAILED"), 1);
}

TEST_F(RendererTest, ClearScreenShowsOneGreyFrame)
{
    ClearScreen();
    ASSERT_EQ(device.m_Calls.size(), 4u);
    EXPECT_EQ(device.m_Calls[0].kind, Kind::BeginScene);
    EXPECT_EQ(device.m_Calls[1].kind, Kind::Clear);
    EXPECT_EQ(device.m_Calls[1].uValue, 0x808080u);
    EXPECT_EQ(device.m_Calls[2].kind, Kind::EndScene);
    EXPECT_EQ(device.m_Calls[3].kind, Kind::Present);
    g_pRenderDevice = nullptr;
    EXPECT_EQ(Present(), static_cast<std::int32_t>(0x80004005u));
}

} // namespace
