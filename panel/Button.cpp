#include "panel/Button.h"

#include <cstring>
#include <mutex>

#include "base/Lock.h"

#include "render/Renderer.h"
#include "render/TextQueue.h"

void EstimateTextExtent(const char* szText, int* piWidth, int* piHeight)
{
    // Roughly the 8-point panel font: 6 pixels a character, 13 pixels high.
    *piWidth = 6 * static_cast<int>(std::strlen(szText));
    *piHeight = 13;
}

MeasureTextFn g_pfnMeasureText = EstimateTextExtent;

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
// One lock for every label: labels change only when the tuning does, and a frame
// copies each one in a few nanoseconds.
CLock g_LabelLock;
} // namespace

void CButton::SetLabel(const char* szLabel)
{
    std::lock_guard<CLock> lock(g_LabelLock);
    std::strncpy(m_szLabel, szLabel ? szLabel : "", kLabelSize - 1);
    m_szLabel[kLabelSize - 1] = '\0';
}

void CButton::CopyLabel(char (&szOut)[kLabelSize]) const
{
    std::lock_guard<CLock> lock(g_LabelLock);
    std::memcpy(szOut, m_szLabel, kLabelSize);
}

void CButton::Init(int x, int y, int iWidth, int iHeight, const char* szLabel, int iKind)
{
    m_iX = x;
    m_iY = y;
    m_iWidth = iWidth;
    m_iHeight = iHeight;
    m_iX2 = x + iWidth - 1;
    m_iY2 = y + iHeight - 1;
    SetLabel(szLabel);
    m_iLabelWidth = m_iLabelHeight = 0;
    if (g_pfnMeasureText)
        g_pfnMeasureText(m_szLabel, &m_iLabelWidth, &m_iLabelHeight);
    m_iKind = iKind;
    for (std::atomic<int>* p : {&m_bPressed, &m_bChecked, &m_bOn, &m_iValue, &m_bArmed})
        p->store(0, kRelaxed);
    m_crText = kTextColour;
    m_crHighlight = g_crHighlight;
}

int CButton::HitTest(int px, int py, int iMessage)
{
    if (px < m_iX || px >= m_iX + m_iWidth || py < m_iY || py >= m_iY + m_iHeight)
        return 0;
    switch (iMessage)
    {
    case MSG_LBUTTON_DOWN:
        m_bPressed.store(1, kRelaxed);
        m_bArmed.store(1, kRelaxed);
        return 1;
    case MSG_LBUTTON_UP:
        if (m_bPressed.load(kRelaxed) != 1)
            return 0;
        m_bPressed.store(0, kRelaxed);
        m_bArmed.store(0, kRelaxed);
        return 1;
    case MSG_MOUSE_MOVE:
        return 1;
    default:
        return 0;
    }
}

void CButton::Render()
{
    if (m_iKind != 1)
        return;
    constexpr std::uint32_t kBlack = 0xff000000u, kShine = 0x2fffffffu, kShade = 0x40000000u;
    g_pRenderDevice->SetRenderState(RenderState::AlphaBlendEnable, 0);
    if (g_bRichRendering == 1)
        RenderRect(m_iX, m_iY, m_iX2 + 1, m_iY2 + 1, 0x40505050u, 0x40404040u, 1);
    else
        RenderRect(m_iX, m_iY, m_iX2 + 1, m_iY2 + 1, 0x40404040u);
    RenderBox(m_iX - 2, m_iY - 2, m_iX2 + 2, m_iY2 + 2, kBlack, kBlack);
    RenderBox(m_iX - 1, m_iY - 1, m_iX2 + 1, m_iY2 + 1, kBlack, kBlack);
    // Raised when up, sunken while pressed; the blend factors are the frame's.
    g_pRenderDevice->SetRenderState(RenderState::AlphaBlendEnable, 1);
    if (m_bPressed.load(kRelaxed))
        RenderBox(m_iX, m_iY, m_iX2, m_iY2, kShade, kShine);
    else
        RenderBox(m_iX, m_iY, m_iX2, m_iY2, kShine, kShade);
    char szLabel[kLabelSize];
    CopyLabel(szLabel);
    QueueText(m_iX + m_iWidth / 2 + 1, m_iY + m_iHeight / 2 - 7, m_bOn.load(kRelaxed) == 1 ? m_crHighlight : m_crText,
              szLabel, TEXT_CENTRE);
}
