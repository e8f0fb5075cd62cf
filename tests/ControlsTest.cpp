#include <gtest/gtest.h>
#include <cmath>

#include "panel/Button.h"
#include "panel/Knob.h"
#include "render/RecordingDevice.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"
#include "tests/TestSupport.h"

namespace {

class ControlsTest : public ::testing::Test
{
protected:
    void SetUp() override { g_pRenderDevice = &device; }
    void TearDown() override { g_pRenderDevice = nullptr, g_bRichRendering = 1, g_TextQueue.m_iCount = 0; }
    void Restart() { device.m_Calls.clear(), g_TextQueue.m_iCount = 0; }  // between the cases of a table
    static std::uint32_t State(const CRecordingDevice::Call& c, RenderState s) { return c.renderStates.at(int(s)); }
    CRecordingDevice device;
};

TEST_F(ControlsTest, ButtonHitTestFollowsEdgesAndMessages)
{
    struct Case { int px, py, msg, pressedBefore, hit, pressedAfter; };
    const Case cases[] = {
        {253, 8, MSG_LBUTTON_DOWN, 0, 1, 1}, {312, 23, MSG_LBUTTON_DOWN, 0, 1, 1}, {313, 8, MSG_LBUTTON_DOWN, 0, 0, 0},
        {253, 24, MSG_LBUTTON_DOWN, 0, 0, 0}, {252, 8, MSG_LBUTTON_DOWN, 0, 0, 0}, {253, 7, MSG_LBUTTON_DOWN, 0, 0, 0},
        {280, 15, MSG_LBUTTON_UP, 1, 1, 0}, {280, 15, MSG_LBUTTON_UP, 0, 0, 0}, {313, 15, MSG_LBUTTON_UP, 1, 0, 1},
        {280, 15, MSG_MOUSE_MOVE, 1, 1, 1}, {280, 15, MSG_MOUSE_MOVE, 0, 1, 0}, {280, 15, 515, 1, 0, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.px << "," << c.py << " msg " << c.msg);
        CButton b;
        b.Init(253, 8, 60, 16, "Options", 1);
        b.m_bPressed = b.m_bArmed = c.pressedBefore;
        EXPECT_EQ(b.HitTest(c.px, c.py, c.msg), c.hit);
        EXPECT_EQ(b.m_bPressed, c.pressedAfter);
        EXPECT_EQ(b.m_bArmed, c.pressedAfter);
    }
    CButton b;
    b.m_bOn = b.m_iValue = 7;
    b.Init(10, 20, 61, 17, "a label far longer than nineteen", 1);
    EXPECT_STREQ(b.m_szLabel, "a label far longer ");
    EXPECT_EQ(std::make_pair(b.m_bOn.load(), b.m_iValue.load()), std::make_pair(0, 0));
    EXPECT_EQ(std::make_pair(b.m_iX2, b.m_iY2), std::make_pair(70, 36));
}

TEST_F(ControlsTest, ButtonRenderFaceSurroundBevelAndLabel)
{
    for (int bits = 0; bits < 8; ++bits)  // every mix of rich fills, pressed and lit
    {
        const int rich = bits & 1, pressed = (bits >> 1) & 1, on = bits >> 2;
        SCOPED_TRACE(bits);
        Restart();
        g_bRichRendering = rich;
        CButton b;
        b.Init(253, 8, 61, 17, "Power", 1);  // odd sizes: the halves round down
        b.m_bPressed = pressed;
        b.SetState(on);
        b.Render();
        const auto draws = device.Draws();
        ASSERT_EQ(draws.size(), 1u + 8u + 4u);
        const auto& face = draws[0].coloured;  // form 3 is one pixel larger than form 1
        EXPECT_EQ(std::make_pair(face[3].x, face[3].y), std::make_pair(314.0f + rich, 25.0f + rich));
        EXPECT_EQ(face[0].colour, rich ? 0x40505050u : 0x40404040u);
        EXPECT_EQ(face[3].colour, 0x40404040u);
        EXPECT_EQ(State(draws[0], RenderState::AlphaBlendEnable), 0u);
        for (int i = 1; i <= 8; ++i)
            EXPECT_EQ(draws[i].coloured[0].colour, 0xff000000u);
        // The outer surround at x - 2, the inner at x - 1.
        EXPECT_EQ(std::make_pair(draws[1].coloured[0].x, draws[5].coloured[0].x), std::make_pair(251.0f, 252.0f));
        const std::uint32_t light = pressed ? 0x40000000u : 0x2fffffffu, dark = pressed ? 0x2fffffffu : 0x40000000u;
        for (int i = 9; i < 13; ++i)
            EXPECT_EQ(draws[i].coloured[0].colour, i < 11 ? light : dark) << i;
        ASSERT_EQ(g_TextQueue.m_iCount, 1);
        const auto& item = g_TextQueue.m_Items[0];
        EXPECT_EQ(std::make_pair(item.x, item.y), std::make_pair(253 + 30 + 1, 8 + 8 - 7));
        EXPECT_EQ(item.uAlignment, TEXT_CENTRE);
        EXPECT_EQ(item.colour, on ? g_crHighlight : 0xa0a0a0u);
        EXPECT_STREQ(item.szText, "Power");
    }
}

void MakeKnob(CKnob& k, int kind = 0, int step = 1)
{
    k.SetPosition(100, 100, 10.0f);
    k.m_fMinimum = 0.1f, k.m_fMaximum = 5.0f, k.m_fValue = 1.0f, k.m_iKind = kind, k.m_iStep = step;
}

TEST_F(ControlsTest, KnobDragTurnsBearingIntoValueAndValueToAngleTurnsItBack)
{
    struct Case { int dx, dy, kind, step, taken; float value, angle; };
    const float up = 0.1f + 4.9f / 2.0f, right = 0.1f + 4.9f * 5.0f / 6.0f, pi = KNOB_PI;
    const Case cases[] = {
        {20, 0, 0, 1, 0, 1.0f, 0.0f},   {15, -15, 0, 1, 0, 1.0f, 0.0f},  // at or beyond 2 x radius
        {19, 0, 0, 1, 1, right, pi / 2}, {0, -5, 0, 1, 1, up, 0.0f},     // right; straight up
        {0, 5, 0, 1, 1, 0.1f, KNOB_MIN_ANGLE}, {-1, 5, 0, 1, 1, 0.1f, KNOB_MIN_ANGLE},  // dead zone
        {1, 5, 0, 1, 1, 5.0f, KNOB_MAX_ANGLE},
        {-5, 0, 0, 1, 1, 0.1f + 4.9f / 6.0f, 3 * pi / 2}, {-5, -5, 0, 1, 1, 0.1f + 4.9f / 3.0f, 7 * pi / 4},
        {5, -5, 0, 1, 1, 0.1f + 4.9f * 2.0f / 3.0f, pi / 4},  // left, upper left, upper right
        {0, -5, 6, 1, 1, 2.0f, 0.0f}, {19, 0, 5, 2, 1, 4.0f, pi / 2}, {0, -5, 8, 1, 1, 2.0f, 0.0f},  // quantised
        {0, -5, 7, 1, 1, up, 0.0f}, {0, -5, 6, 0, 1, up, 0.0f},  // kind 7 does not quantise, nor does step 0
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy << " kind " << c.kind << " step " << c.step);
        CKnob k;
        MakeKnob(k, c.kind, c.step);
        EXPECT_EQ(k.Drag(100 + c.dx, 100 + c.dy), c.taken);
        EXPECT_NEAR(k.m_fValue, c.value, 1e-4f);
        EXPECT_NEAR(k.m_fAngle, c.angle, 1e-5f);
        if (c.taken && c.kind == 0)  // back from the value: the same bearing, counted on from the stop
        {
            k.ValueToAngle();
            EXPECT_GE(k.m_fAngle, KNOB_MIN_ANGLE - 1e-5f);
            EXPECT_NEAR(std::fmod(k.m_fAngle, 2 * KNOB_PI), c.angle, 1e-4f);
        }
    }
    CKnob empty;  // an empty range rests at the lower stop
    MakeKnob(empty);
    empty.m_fMaximum = empty.m_fMinimum;
    empty.ValueToAngle();
    EXPECT_EQ(empty.m_fAngle, KNOB_MIN_ANGLE);
}

TEST_F(ControlsTest, KnobRenderDrawsBodyThenRotatedNotch)
{
    struct Case { float angle; int notch; float x0, y0; };  // x0, y0: the notch's first vertex
    const float pi = KNOB_PI;
    const Case cases[] = {{0.0f, TEX_NOTCH_A, 90, 90}, {pi / 2, TEX_NOTCH_A, 110, 90}, {pi, TEX_NOTCH_B, 110, 110},
        {3 * pi / 2, TEX_NOTCH_B, 90, 110}, {2.3559f, TEX_NOTCH_A, -1, -1}, {2.356f, TEX_NOTCH_B, -1, -1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.angle);
        Restart();
        CKnob k;
        MakeKnob(k);
        k.m_fAngle = c.angle;
        k.Render();
        const auto draws = device.Draws();
        ASSERT_EQ(draws.size(), 2u);
        EXPECT_EQ(draws[0].iTexture, TEX_KNOB);
        EXPECT_EQ(draws[1].iTexture, c.notch);
        for (const auto& d : draws)  // colour key on, normal blend
            EXPECT_EQ(std::make_pair(State(d, RenderState::ColorKeyEnable), State(d, RenderState::AlphaBlendEnable)),
                      std::make_pair(1u, 1u));
        EXPECT_EQ(State(draws[1], RenderState::DestBlend), static_cast<std::uint32_t>(BlendFactor::InvSrcAlpha));
        const auto& body = draws[0].textured;  // upright, one radius each way
        EXPECT_EQ(std::make_pair(body[0].x, body[3].y), std::make_pair(90.0f, 110.0f));
        if (c.x0 >= 0)
        {
            EXPECT_NEAR(draws[1].textured[0].x, c.x0, 1e-4f);
            EXPECT_NEAR(draws[1].textured[0].y, c.y0, 1e-4f);
        }
        EXPECT_EQ(device.RenderStateNow(RenderState::ColorKeyEnable), 0);
        ASSERT_EQ(g_TextQueue.m_iCount, 1);
        EXPECT_EQ(std::make_pair(g_TextQueue.m_Items[0].x, g_TextQueue.m_Items[0].y), std::make_pair(100, 120));
        EXPECT_EQ(g_TextQueue.m_Items[0].colour, 0xffa0a0u);
    }
    Restart();
    device.m_bFailDraws = true;
    const int before = CountLogLines("CKnob::Render - DrawPrimitive() FAILED");
    CKnob knob;
    MakeKnob(knob);
    knob.Render();
    EXPECT_EQ(device.Draws().size(), 1u);
    EXPECT_EQ(CountLogLines("CKnob::Render - DrawPrimitive() FAILED"), before + 1);
    EXPECT_EQ(g_TextQueue.m_iCount, 0);
}

}  // namespace
