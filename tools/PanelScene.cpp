#include "tools/PanelScene.h"

#include <atomic>

#include "dsp/NoteTable.h"
#include "dsp/ReferencePitch.h"
#include "dsp/StreamParams.h"
#include "engine/DspEngine.h"
#include "panel/FrameTick.h"
#include "panel/PanelHost.h"
#include "panel/XEffects.h"
#include "render/RedrawRequest.h"
#include "render/RenderDevice.h"
#include "render/TextQueue.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

void ApplyScene(CDspEngine& engine, CXEffects& panel, const PanelScene& scene)
{
    Tuner2& t = engine.m_Tuner2;
    if (scene.iTuning >= 0)
    {
        t.m_iSelectedTuning.store(scene.iTuning, kRelaxed);
        panel.Tuner().LabelStrings(&engine);
    }
    t.SelectString(scene.iString);
    if (CButton* pStrings = panel.Tuner().m_pStringButtons)
        for (int k = 0; k < Tuner2::kNumStrings; ++k)
            pStrings[k].SetState(k == scene.iString ? 1 : 0);
    if (scene.fMeasured >= 0.0)
    {
        t.m_Tuner.SetMeasured(static_cast<float>(scene.fMeasured));
        t.m_fMeasuredFreq.store(static_cast<float>(scene.fMeasured), kRelaxed);
    }

    panel.m_bPower.store(scene.bPower, kRelaxed);
    panel.m_TopButtons[CXEffects::TOP_POWER].m_bChecked = scene.bPower;
    panel.m_TopButtons[CXEffects::TOP_POWER].SetState(scene.bPower);

    CRackSlot& slot = panel.Tuner();
    slot.m_bOn.store(scene.bTuner, kRelaxed);
    slot.m_PowerButton.m_bChecked = scene.bTuner;
    slot.m_PowerButton.SetState(scene.bTuner);
    panel.m_UnitButtons[UNIT_TUNER].SetState(scene.bTuner);

    for (int c = 0; c < 2; ++c)
    {
        engine.m_Level.m_In.m_fHeldPeak[c].store(static_cast<float>(scene.fLevelIn), kRelaxed);
        engine.m_Level.m_Out.m_fHeldPeak[c].store(static_cast<float>(scene.fLevelOut), kRelaxed);
    }
}

} // namespace

std::string CheckPanelScene(const PanelScene& scene)
{
    if (scene.iTuning < -1 || scene.iTuning >= Tuner2::kMaxTunings)
        return "tuning out of range";
    if (scene.iString < 0 || scene.iString >= Tuner2::kNumStrings)
        return "string out of range";
    // The estimator publishes nothing higher; the read-out has no note for it.
    if (scene.fMeasured > Tuner::kMaxFreq)
        return "the measured frequency lies in 0..2000 Hz";
    if (scene.bPower != 0 && scene.bPower != 1)
        return "power must be 0 or 1";
    if (scene.bTuner != 0 && scene.bTuner != 1)
        return "tuner must be 0 or 1";
    if (!(scene.fLevelIn >= -32768.0 && scene.fLevelIn <= 0.0) ||
        !(scene.fLevelOut >= -32768.0 && scene.fLevelOut <= 0.0))
        return "level peaks lie in -32768..0";
    if (scene.iReferenceTenths < kMinReferenceTenths || scene.iReferenceTenths > kMaxReferenceTenths)
        return "the reference pitch lies in 400.0..480.0 Hz";
    return std::string();
}

bool DrawPanelScene(CRenderDevice& device, const PanelScene& scene, std::string* pError)
{
    std::string complaint = CheckPanelScene(scene);
    if (!complaint.empty())
    {
        *pError = complaint;
        return false;
    }
    SetStreamFormat(48000.0f, 1200);
    // The reference the scene's engine is built at, and the one put back after it.
    struct Reference
    {
        int iSaved = g_iReferenceTenths.load(kRelaxed);
        explicit Reference(int iTenths) { g_iReferenceTenths.store(iTenths, kRelaxed); }
        ~Reference()
        {
            g_iReferenceTenths.store(iSaved, kRelaxed);
            MakeNoteTable();
        }
    } reference(scene.iReferenceTenths);
    CDspEngine engine;
    if (engine.InitDSP() != 1)
    {
        *pError = "the engine cannot start";
        return false;
    }
    if (scene.iTuning >= engine.m_Tuner2.m_iNumTunings.load(kRelaxed))
    {
        engine.Release();
        *pError = "tuning out of range (there are " + std::to_string(engine.m_Tuner2.m_iNumTunings.load(kRelaxed)) + ")";
        return false;
    }
    CRecordingPanelHost host;
    CXEffects& panel = g_XEffects;
    panel.Attach(&engine, &host);
    panel.Init();
    ApplyScene(engine, panel, scene);

    CRenderDevice* pPrevious = g_pRenderDevice;
    g_pRenderDevice = &device;
    g_iRedrawCommand = 0;
    g_bRenderEnabled = 1;
    g_bPanelDrawn = 0;
    g_bFirstFrameDone = 0;
    g_TextQueue.m_iCount = 0;
    FrameTick(0, 0, 0, 0, 0);
    g_pRenderDevice = pPrevious;
    panel.Attach(nullptr, nullptr);
    engine.Release();
    return true;
}
