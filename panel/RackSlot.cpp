#include "panel/RackSlot.h"

#include <cstring>
#include <new>

#include "engine/DspEngine.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"

namespace {

constexpr std::uint32_t kNameColour = 0xdda0a0u;  // COLORREF
constexpr std::uint32_t kBevelLight0 = 0x40fafafau;
constexpr std::uint32_t kBevelLight = 0x40f0f0f0u;
constexpr std::uint32_t kBevelDark = 0xff000000u;

void CopyName(char* szTo, const char* szFrom)
{
    std::strncpy(szTo, szFrom ? szFrom : "", CRackSlot::kNameSize - 1);
    szTo[CRackSlot::kNameSize - 1] = '\0';
}

// Wood tiled every 256 pixels, or black when the texture did not load.
void WoodFill(int x1, int y1, int x2, int y2)
{
    if (g_pRenderDevice->HasTexture(TEX_WOOD))
        RenderRectTex(x1, y1, x2, y2, TEX_WOOD, 0, 256.0f);
    else
        RenderRect(x1, y1, x2, y2, 0x00000000u);
}

} // namespace

CRackSlot::~CRackSlot()
{
    delete[] m_pStringButtons;
    delete[] m_pTuningButtons;
}

void CRackSlot::SetName(const char* szName)
{
    CopyName(m_szName, szName);
}

void CRackSlot::SetLabels(const char* const* pszLabels, int nLabels)
{
    for (int i = 0; i < kNumLabels && i < nLabels; ++i)
        CopyName(m_szLabel[i], pszLabels[i]);
    for (int k = 0; k < m_iNumKnobs && k < kNumLabels; ++k)
        CopyName(m_Knobs[k].m_szLabel, m_szLabel[k]);
}

void CRackSlot::SetParams(std::atomic<float>* const* ppParams, int nParams)
{
    for (int k = 0; k < kNumLabels && k < nParams; ++k)
        m_pParam[k] = ppParams[k];
    for (int k = 0; k < kNumKnobs; ++k)
        if (m_pParam[k])
            m_Knobs[k].m_fValue = m_pParam[k]->load(std::memory_order_relaxed);
}

void CRackSlot::SetKinds(const int* piKinds, int nKinds)
{
    for (int k = 0; k < kNumLabels && k < nKinds; ++k)
        m_Knobs[k].m_iKind = piKinds[k];
}

void CRackSlot::SetRanges(const float* pfMinMax, int nPairs)
{
    for (int k = 0; k < kNumLabels && k < nPairs; ++k)
    {
        m_Knobs[k].m_fMinimum = pfMinMax[2 * k];
        m_Knobs[k].m_fMaximum = pfMinMax[2 * k + 1];
    }
    for (CKnob& knob : m_Knobs)
        if (knob.m_iKind == 1)
        {
            knob.m_fMinimum *= 0.001f;
            knob.m_fMaximum *= 0.001f;
        }
}

void CRackSlot::CreateControls(const CDspEngine* pEngine)
{
    const int x = m_iUnitX, y = m_iUnitY;
    m_PowerButton.Init(x + 51, y + 73, 60, 23, "Power", 1);
    const int iStep = (m_iType == 15 || m_iType == 16) ? 54 : 60;
    for (int k = 0; k < kNumKnobs; ++k)
        m_Knobs[k].SetPosition(x + 166 + iStep * k, y + 124, 15.0f);
    if (m_iType != UNIT_TUNER)
        return;
    // Without memory the tuner's buttons are left out; drawing and hit tests skip them.
    delete[] m_pStringButtons;
    m_pStringButtons = new (std::nothrow) CButton[6];
    if (!m_pStringButtons)
        return;
    for (int i = 0; i < 6; ++i)
        m_pStringButtons[i].Init(x + 222 + 33 * i, y + 73, 30, 20, "", 1);
    LabelStrings(pEngine);
    m_pStringButtons[0].SetState(1);
    delete[] m_pTuningButtons;
    m_pTuningButtons = new (std::nothrow) CButton[2];
    if (!m_pTuningButtons)
        return;
    m_pTuningButtons[0].Init(x + 142, y + 73, 30, 20, "-", 1);
    m_pTuningButtons[1].Init(x + 175, y + 73, 30, 20, "+", 1);
}

void CRackSlot::LabelStrings(const CDspEngine* pEngine)
{
    if (!m_pStringButtons || !pEngine)
        return;
    const Tuner2& t = pEngine->m_Tuner2;
    const int iTuning = t.m_iSelectedTuning.load(std::memory_order_relaxed);
    const bool bValid = iTuning >= 0 && iTuning < t.m_iNumTunings.load(std::memory_order_relaxed);
    for (int i = 0; i < 6; ++i)
    {
        CButton& b = m_pStringButtons[i];
        b.SetLabel(bValid ? t.m_szStringNote[iTuning][i] : "");
    }
}

void CRackSlot::UpdateAngles()
{
    for (int k = 0; k < m_iNumKnobs && k < kNumKnobs; ++k)
        m_Knobs[k].ValueToAngle();
}

void CRackSlot::Render(const CDspEngine* pEngine)
{
    CRenderDevice& d = *g_pRenderDevice;
    d.SetRenderState(RenderState::AlphaBlendEnable, 1);
    d.SetRenderState(RenderState::SrcBlend, static_cast<std::uint32_t>(BlendFactor::SrcAlpha));
    d.SetRenderState(RenderState::DestBlend, static_cast<std::uint32_t>(BlendFactor::InvSrcAlpha));
    d.SetStageState(StageState::ColorOp, static_cast<std::uint32_t>(TextureOp::Modulate));

    const int x = m_iUnitX, y = m_iUnitY, x2 = m_iUnitX2, y2 = m_iUnitY2;
    WoodFill(x, y, x2 + 1, y2 + 1);
    for (int i = 0; i < 3; ++i)
        RenderBox(x + i, y + i, x2 - i, y2 - i, i == 0 ? kBevelLight0 : kBevelLight, kBevelDark);

    if (g_bRichRendering.load(std::memory_order_relaxed))
        RenderRect(x + 20, y + 15, x2 - 20, y2 - 15, 0x30505050u, 0x30303030u, 1);
    else
        RenderRect(x + 20, y + 15, x2 - 20, y2 - 15, 0x40404040u);
    RenderBox(x + 21, y + 16, x2 - 21, y2 - 16, 0x20ffffffu, 0x20000000u);
    RenderBox(x + 22, y + 17, x2 - 22, y2 - 17, 0x20ffffffu, 0x20000000u);
    QueueText(x + 67, y + 37, kNameColour, m_szName, TEXT_LEFT);

    if (m_pStringButtons)
        for (int i = 0; i < 6; ++i)
            m_pStringButtons[i].Render();
    if (m_pTuningButtons)
        for (int j = 0; j < 2; ++j)
            m_pTuningButtons[j].Render();

    WoodFill(0, 182, x2 + 1, 212);
    for (int i = 0; i < 3; ++i)
        RenderBox(i, 182 + i, x2 - i, 212 - i, i == 0 ? kBevelLight0 : kBevelLight, kBevelDark);
    QueueText(51, 192, kNameColour, "Vol in", TEXT_LEFT);
    if (pEngine)
        pEngine->m_Level.Draw(0);
}

int CRackSlot::HitTest(int x, int y, int iMessage)
{
    if (m_iType == UNIT_TUNER)
    {
        if (m_pStringButtons)
            for (int i = 0; i < 6; ++i)
                if (m_pStringButtons[i].HitTest(x, y, iMessage))
                    return 2001 + i;
        if (m_pTuningButtons)
            for (int j = 0; j < 2; ++j)
                if (m_pTuningButtons[j].HitTest(x, y, iMessage))
                    return 2007 + j;
    }
    if (m_PowerButton.HitTest(x, y, iMessage))
        return 2000;
    return 0;
}
