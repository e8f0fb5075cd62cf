#include "panel/FrameTick.h"

#include "engine/DspEngine.h"
#include "panel/XEffects.h"
#include "render/RedrawRequest.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"

std::atomic<int> g_bRenderEnabled{1};
std::atomic<int> g_bFirstFrameDone{0};
std::atomic<int> g_iFrameCount{0};
const char g_szAppName[] = "Tonquarry Guitar Tuner";

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr std::uint32_t kGrey = 0x808080u;
constexpr std::uint32_t kTitleOff = 0xa0a0a0u;

void QueueTitle()
{
    QueueText(21, 9, g_XEffects.m_bPower.load(kRelaxed) ? g_crHighlight : kTitleOff, g_szAppName, TEXT_LEFT);
}

// Draws the control a redraw request names.
void DrawRequested(int iCommand, int iIndex)
{
    CXEffects& panel = g_XEffects;
    CRackSlot& slot = panel.m_Slots[panel.m_iCurrentSlot];
    switch (iCommand)
    {
    case CMD_KNOB:
        if (iIndex >= 0 && iIndex < 4)
            panel.m_Knobs[iIndex].Render();
        break;
    case CMD_SLOT_POWER: slot.m_PowerButton.Render(); break;
    case CMD_STRINGS:
    case CMD_TUNING:
        if (slot.m_pStringButtons)
            for (int i = 0; i < 6; ++i)
                slot.m_pStringButtons[i].Render();
        if (iCommand == CMD_TUNING && slot.m_pTuningButtons)
            for (int j = 0; j < 2; ++j)
                slot.m_pTuningButtons[j].Render();
        break;
    case CMD_MIXER: panel.m_MixerButton.Render(); break;
    case CMD_TOP_BUTTON:
        if (iIndex >= 0 && iIndex < CXEffects::kNumTopButtons)
            panel.m_TopButtons[iIndex].Render();
        if (iIndex == CXEffects::TOP_POWER)
            QueueTitle();
        break;
    default: break;  // the limiter's and the window's commands draw nothing
    }
}

void FullRedraw()
{
    g_pRenderDevice->Clear(kGrey);
    RenderAll();
}

} // namespace

void RenderTitleBar()
{
    CRenderDevice& d = *g_pRenderDevice;
    d.SetRenderState(RenderState::AlphaBlendEnable, 1);
    d.SetRenderState(RenderState::SrcBlend, static_cast<std::uint32_t>(BlendFactor::SrcAlpha));
    d.SetRenderState(RenderState::DestBlend, static_cast<std::uint32_t>(BlendFactor::InvSrcAlpha));
    d.SetStageState(StageState::ColorOp, static_cast<std::uint32_t>(TextureOp::Modulate));
    if (d.HasTexture(TEX_WOOD))
        RenderRectTex(0, 0, 583, 30, TEX_WOOD, 0, 256.0f);
    else
        RenderRect(0, 0, 583, 30, 0x00000000u);
    RenderBox(0, 0, 582, 30, 0x40fafafau, 0xff000000u);
    RenderBox(1, 1, 581, 29, 0x40f0f0f0u, 0xff000000u);
    RenderBox(2, 2, 580, 28, 0x40f0f0f0u, 0xff000000u);
    QueueTitle();
}

void RenderAll()
{
    g_pRenderDevice->SetRenderState(RenderState::AlphaBlendEnable, 1);
    RenderTitleBar();
    g_XEffects.Render();
}

int FrameTick(unsigned, unsigned, std::uintptr_t, std::uintptr_t, std::uintptr_t)
{
    if (!g_bRenderEnabled.load(kRelaxed) || !g_pRenderDevice)
        return 1;
    if (!g_pRenderDevice->BeginScene())
        return 1;  // nothing drawn; a pending request waits for the next tick
    if (!g_bFirstFrameDone.load(kRelaxed))
    {
        g_pRenderDevice->Clear(kGrey);
        g_bRenderEnabled.store(1, kRelaxed);
        g_bPanelDrawn.store(0, kRelaxed);
    }

    bool bLiveDisplays = true;
    const int iCommand = g_iRedrawCommand.load(kRelaxed);
    if (iCommand > 0)
    {
        // A due full redraw is never swallowed by a request: after a restore the
        // limiter may post its command every block, and the window would stay
        // half drawn. The full drawing contains every control anyway.
        if (g_bPanelDrawn.load(kRelaxed))
        {
            DrawRequested(iCommand, g_iRedrawIndex.load(kRelaxed));
        }
        else
        {
            FullRedraw();
            bLiveDisplays = false;
        }
        g_iFrameCount.fetch_add(1, kRelaxed);
        g_bPanelDrawn.store(1, kRelaxed);
        g_iRedrawCommand.store(0, kRelaxed);
        g_iRedrawIndex.store(0, kRelaxed);
    }
    else if (!g_bPanelDrawn.load(kRelaxed))
    {
        FullRedraw();
        bLiveDisplays = false;  // the full drawing already holds both
    }

    CDspEngine* pEngine = g_XEffects.Engine();
    if (bLiveDisplays && pEngine)
    {
        pEngine->m_Level.Draw(1);
        if (g_XEffects.m_iCurrentSlot == UNIT_TUNER)
            pEngine->m_Tuner2.Draw(0);
    }

    g_bPanelDrawn.store(1, kRelaxed);
    g_pRenderDevice->EndScene();
    FlushText();
    Present();
    g_bFirstFrameDone.store(1, kRelaxed);
    return 1;
}
