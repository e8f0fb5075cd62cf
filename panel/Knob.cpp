#include "panel/Knob.h"

#include <cmath>

#include "base/Log.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"

void CKnob::SetPosition(int cx, int cy, float fRadius)
{
    m_iCx = cx;
    m_iCy = cy;
    m_fRadius = fRadius;
}

void CKnob::ValueToAngle()
{
    // An empty range would divide by zero: such a knob rests at its lower stop.
    const float fRange = m_fMaximum - m_fMinimum;
    m_fAngle.store(fRange == 0.0f ? KNOB_MIN_ANGLE : KNOB_SWEEP / fRange * (m_fValue - m_fMinimum) + KNOB_MIN_ANGLE,
                   std::memory_order_relaxed);
}

int CKnob::Drag(int x, int y)
{
    const int dx = x - m_iCx, dy = y - m_iCy;
    const float fDistance = std::sqrt(static_cast<float>(dx) * dx + static_cast<float>(dy) * dy);
    if (!(fDistance < 2.0f * m_fRadius))
        return 0;

    float a;
    if (dy == 0)
        a = dx >= 0 ? KNOB_PI / 2.0f : 3.0f * KNOB_PI / 2.0f;
    else
    {
        const float r = std::fabs(std::atan(static_cast<float>(dx) / static_cast<float>(dy)));
        if (dx >= 0)
            a = dy < 0 ? r : KNOB_PI - r;
        else
            a = dy > 0 ? KNOB_PI + r : 2.0f * KNOB_PI - r;
    }
    // The dead zone around straight down belongs to the nearer stop.
    if (a >= KNOB_PI && a < KNOB_MIN_ANGLE)
        a = KNOB_MIN_ANGLE;
    else if (a > KNOB_MAX_ANGLE && a < KNOB_PI)
        a = KNOB_MAX_ANGLE;
    m_fAngle.store(a, std::memory_order_relaxed);

    const float t = a >= KNOB_MIN_ANGLE ? a - KNOB_MIN_ANGLE : a + KNOB_MAX_ANGLE;
    m_fValue = m_fMinimum + t * (m_fMaximum - m_fMinimum) / KNOB_SWEEP;
    // A step of 0 cannot quantise: the value is left as it is.
    if ((m_iKind == 8 || m_iKind == 6 || m_iKind == 5) && m_iStep != 0)
        m_fValue = std::trunc(m_fValue / static_cast<float>(m_iStep)) * static_cast<float>(m_iStep);
    return 1;
}

namespace {

// The unit square turned to bearing theta and placed over the knob, in strip order.
void PlaceSquare(TexturedVertex (&v)[4], float cx, float cy, float fRadius, float theta)
{
    const TexturedVertex unit[4] = {
        {-1.0f, 1.0f, 0.5f, 1.0f, 0.0f, 0.0f},
        {1.0f, 1.0f, 0.5f, 1.0f, 1.0f, 0.0f},
        {-1.0f, -1.0f, 0.5f, 1.0f, 0.0f, 1.0f},
        {1.0f, -1.0f, 0.5f, 1.0f, 1.0f, 1.0f},
    };
    const float c = std::cos(theta), s = std::sin(theta);
    for (int i = 0; i < 4; ++i)
    {
        v[i] = unit[i];
        v[i].x = cx + fRadius * (unit[i].x * c + unit[i].y * s);
        v[i].y = cy - fRadius * (unit[i].y * c - unit[i].x * s);
    }
}

bool DrawTextured(const TexturedVertex (&v)[4], int iTexture)
{
    g_pRenderDevice->SetTexture(iTexture);
    if (g_pRenderDevice->DrawStrip(v, 4))
        return true;
    g_Log.Print("CKnob::Render - DrawPrimitive() FAILED");
    return false;
}

}  // namespace

void CKnob::Render()
{
    const float cx = static_cast<float>(m_iCx), cy = static_cast<float>(m_iCy);
    TexturedVertex v[4];
    PlaceSquare(v, cx, cy, m_fRadius, 0.0f);
    g_pRenderDevice->SetRenderState(RenderState::ColorKeyEnable, 1);
    g_pRenderDevice->SetRenderState(RenderState::AlphaBlendEnable, 1);
    g_pRenderDevice->SetRenderState(RenderState::SrcBlend, static_cast<unsigned>(BlendFactor::SrcAlpha));
    g_pRenderDevice->SetRenderState(RenderState::DestBlend, static_cast<unsigned>(BlendFactor::InvSrcAlpha));
    g_pRenderDevice->SetStageState(StageState::ColorOp, static_cast<unsigned>(TextureOp::Modulate));
    if (!DrawTextured(v, TEX_KNOB))
        return;

    // The notch's top edge points along the bearing.
    const float fAngle = m_fAngle.load(std::memory_order_relaxed);
    PlaceSquare(v, cx, cy, m_fRadius, fAngle);
    if (!DrawTextured(v, fAngle >= 2.356f ? TEX_NOTCH_B : TEX_NOTCH_A))
        return;

    g_pRenderDevice->SetRenderState(RenderState::ColorKeyEnable, 0);
    g_pRenderDevice->SetRenderState(RenderState::AlphaBlendEnable, 0);
    QueueText(m_iCx, m_iCy + 20, kLabelColour, m_szLabel, TEXT_CENTRE);
}
