#include "panel/XEffects.h"

#include "base/Log.h"
#include "engine/DspEngine.h"
#include "panel/PanelHost.h"
#include "render/RedrawRequest.h"
#include "tuner/Tuner2.h"

CXEffects g_XEffects;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

} // namespace

void CXEffects::Attach(CDspEngine* pEngine, CPanelHost* pHost)
{
    m_pEngine = pEngine;
    m_pHost = pHost;
    if (m_pEngine)
        m_pEngine->SetTunerSwitch(&Tuner().m_bOn);
}

void CXEffects::Init()
{
    g_Log.Print("CXEffects::Init()");
    CRackSlot& tuner = Tuner();
    tuner.m_bOn.store(1, kRelaxed);
    tuner.m_PowerButton.m_bChecked = 1;
    tuner.m_PowerButton.m_bOn = 1;

    m_iOriginX = m_iOriginY = 0;
    m_iWidth2 = m_iWidth;
    m_iHeight2 = m_iHeight;
    m_iUnitWidth = m_iWidth;
    m_iUnitHeight = 150;
    m_iUnitX = 0;
    m_iUnitY = 31;
    m_iUnitX2 = m_iUnitX + m_iWidth;
    m_iUnitY2 = m_iUnitY + m_iUnitHeight;
    m_bPower.store(1, kRelaxed);
    m_iCurrentSlot = UNIT_TUNER;

    m_iNumSlots = kNumUnitButtons;
    for (int i = 0; i < m_iNumSlots; ++i)
    {
        CRackSlot& s = m_Slots[i];
        s.m_iPanelX = m_iOriginX;
        s.m_iPanelY = m_iOriginY;
        s.m_iPanelWidth = s.m_iPanelWidth2 = m_iWidth;
        s.m_iPanelHeight = s.m_iPanelHeight2 = m_iHeight;
        s.m_iUnitX = m_iUnitX;
        s.m_iUnitY = m_iUnitY;
        s.m_iUnitWidth = m_iUnitWidth;
        s.m_iUnitHeight = m_iUnitHeight;
        s.m_iUnitX2 = m_iUnitX2;
        s.m_iUnitY2 = m_iUnitY2;
    }

    tuner.m_iType = UNIT_TUNER;
    tuner.SetName("Tuner");
    tuner.CreateControls(m_pEngine);
    tuner.m_iNumKnobs = 3;
    const char* const aszLabels[] = {"TuningFreq", "Freq", "Note"};
    tuner.SetLabels(aszLabels, 3);
    if (m_pEngine)
    {
        std::atomic<float>* const apParams[] = {&m_pEngine->m_Tuner2.m_fTargetFreq,
                                                &m_pEngine->m_Tuner2.m_fMeasuredFreq, nullptr};
        tuner.SetParams(apParams, 3);
    }
    const int aiKinds[] = {3, 3, 6};
    tuner.SetKinds(aiKinds, 3);
    const float afRanges[2 * CRackSlot::kNumLabels] = {};
    tuner.SetRanges(afRanges, CRackSlot::kNumLabels);

    float fx = 22.0f;
    int y = 46;
    for (int i = 0; i < kNumUnitButtons; ++i)
    {
        m_UnitButtons[i].Init(static_cast<int>(fx), y, 57, 20, m_Slots[i].m_szName, 1);
        if (i == 10)
        {
            fx = 22.0f;
            y = 68;
        }
        else
        {
            fx += 59.4f;
        }
    }

    m_MixerButton.Init(501, 190, 60, 16, "Mixer", 1);
    for (int k = 1; k < 4; ++k)
        m_Knobs[k].m_fValue = 0.5f;
    CKnob& volume = m_Knobs[0];
    volume.SetPosition(100, 198, 10.0f);
    volume.m_fValue = 1.0f;
    volume.m_iKind = 0;
    volume.m_fMinimum = 0.1f;
    volume.m_fMaximum = 5.0f;
    volume.ValueToAngle();

    const char* const aszTop[kNumTopButtons] = {"Options", "Website", "Help", "About", "Power"};
    for (int i = 0; i < kNumTopButtons; ++i)
        m_TopButtons[i].Init(m_iWidth - 329 + 62 * i, 8, 60, 16, aszTop[i], 1);
    m_TopButtons[TOP_POWER].m_bChecked = 1;
    m_TopButtons[TOP_POWER].m_bOn = 1;

    for (int i = 0; i < m_iNumSlots; ++i)
        m_Slots[i].UpdateAngles();
}

void CXEffects::Render()
{
    CRackSlot& tuner = Tuner();
    tuner.Render(m_pEngine);
    tuner.m_PowerButton.Render();
    if (m_pEngine)
        m_pEngine->m_Tuner2.Draw(0);
    m_MixerButton.Render();
    m_Knobs[0].Render();
    for (CButton& b : m_TopButtons)
        b.Render();
    for (int i = 0; i < m_iNumSlots; ++i)
    {
        CRackSlot& s = m_Slots[i];
        if (s.m_bOn.load(kRelaxed) != 1)
            continue;
        // Written only when they differ, so a switch-off the window thread makes
        // meanwhile is not undone by this frame.
        for (std::atomic<int>* p : {&m_UnitButtons[i].m_bOn, &s.m_PowerButton.m_bChecked, &s.m_PowerButton.m_bOn})
            if (p->load(kRelaxed) != 1)
                p->store(1, kRelaxed);
        if (i == m_iCurrentSlot)
            s.m_PowerButton.Render();
    }
}

int CXEffects::CheckControls(int x, int y, int iMessage)
{
    int i = 0;
    while (i < kNumTopButtons && !m_TopButtons[i].HitTest(x, y, iMessage))
        ++i;
    if (i == kNumTopButtons)
        return 0;
    CButton& b = m_TopButtons[i];
    if (iMessage == MSG_LBUTTON_DOWN)
    {
        b.m_bArmed = 1;
    }
    else if (iMessage == MSG_MOUSE_MOVE)
    {
        if (!b.m_bArmed)
            return 0;
    }
    else if (iMessage == MSG_LBUTTON_UP)
    {
        b.m_bArmed = 0;
        switch (i)
        {
        case TOP_OPTIONS: if (m_pHost) m_pHost->OpenOptionsDialog(); break;
        case TOP_WEBSITE: if (m_pHost) m_pHost->OpenWebSite(); break;
        case TOP_HELP: if (m_pHost) m_pHost->OpenHelpPage(); break;
        case TOP_ABOUT: if (m_pHost) m_pHost->OpenAboutBox(); break;
        default:
        {
            const int bOn = b.m_bChecked ? 0 : 1;
            b.m_bChecked = bOn;
            m_bPower.store(bOn, kRelaxed);
            b.SetState(bOn);
            if (bOn)
            {
                if (m_pHost)
                    m_pHost->StartAudio();
                g_Log.Print("CXEffects::CheckControls() Start sampler");
            }
            else
            {
                if (m_pHost)
                    m_pHost->PauseAudio();
                g_Log.Print("CXEffects::CheckControls() Pause sampler");
            }
        }
        }
    }
    RequestRedraw(CMD_TOP_BUTTON, i, CMD_TOP_BUTTON, i);
    return 1;
}

void CXEffects::SelectString(int i)
{
    CRackSlot& tuner = Tuner();
    tuner.m_pStringButtons[i].m_bArmed = 0;
    if (m_pEngine)
        m_pEngine->m_Tuner2.SelectString(i);
    for (int k = 0; k < 6; ++k)
        tuner.m_pStringButtons[k].SetState(k == i ? 1 : 0);
}

void CXEffects::StepTuning(int iDirection)
{
    if (!m_pEngine)
        return;
    Tuner2& t = m_pEngine->m_Tuner2;
    const int iTuning = t.m_iSelectedTuning.load(kRelaxed);
    const bool bMoves = iDirection < 0 ? iTuning >= 1 : iTuning < t.m_iNumTunings.load(kRelaxed) - 1;
    if (!bMoves)
        return;  // at either end nothing changes
    t.m_iSelectedTuning.store(iTuning + iDirection, kRelaxed);
    Tuner().LabelStrings(m_pEngine);
    t.SelectString(t.m_iSelectedString.load(kRelaxed));
}

int CXEffects::Mouse(int x, int y, int iMessage)
{
    g_iRedrawCommand.store(0, kRelaxed);
    g_iRedrawIndex.store(0, kRelaxed);
    CRackSlot& tuner = Tuner();
    const int iCode = tuner.HitTest(x, y, iMessage);

    if (iCode == 2000)
    {
        if (iMessage == MSG_LBUTTON_UP)
        {
            CButton& power = tuner.m_PowerButton;
            const int bOn = power.m_bChecked ? 0 : 1;
            power.m_bChecked = bOn;
            tuner.m_bOn.store(bOn, kRelaxed);
            m_UnitButtons[m_iCurrentSlot].m_bOn = bOn;
            power.m_bOn = bOn;
            if (m_pEngine)
            {
                // The analyser's bands follow the switch; the audio thread re-tunes
                // them before its next block.
                m_pEngine->m_Analyser.m_iBandMode.store(bOn ? 1 : 2, kRelaxed);
                m_pEngine->m_Analyser.RequestRetune();
                if (!bOn)
                    m_pEngine->m_Tuner2.m_Tuner.SetMeasured(0.0f);
            }
        }
        RequestRedraw(CMD_SLOT_POWER, 0, CMD_SLOT_POWER, 0);
        return 1;
    }
    if (iCode >= 2001 && iCode <= 2006)
    {
        const int i = iCode - 2001;
        if (iMessage == MSG_MOUSE_MOVE)
            return 0;
        if (iMessage == MSG_LBUTTON_DOWN)
            tuner.m_pStringButtons[i].m_bArmed = 1;
        else if (iMessage == MSG_LBUTTON_UP)
            SelectString(i);
        RequestRedraw(CMD_STRINGS, i, CMD_STRINGS, i);
        return 1;
    }
    if (iCode == 2007 || iCode == 2008)
    {
        const int j = iCode - 2007;
        CButton& b = tuner.m_pTuningButtons[j];
        if (iMessage == MSG_MOUSE_MOVE && !b.m_bArmed)
            return 0;
        if (iMessage == MSG_LBUTTON_DOWN)
            b.m_bArmed = 1;
        else if (iMessage == MSG_LBUTTON_UP)
        {
            b.m_bArmed = 0;
            StepTuning(j == 1 ? +1 : -1);
        }
        RequestRedraw(CMD_TUNING, j, CMD_TUNING, j);
        return 1;
    }

    if (m_MixerButton.HitTest(x, y, iMessage))
    {
        if (iMessage == MSG_LBUTTON_UP && m_pHost)
            m_pHost->OpenRecordingMixer();
        RequestRedraw(CMD_MIXER, 0, CMD_MIXER, 0);
        return 1;
    }
    if (m_Knobs[0].Drag(x, y))
    {
        // While dragging only the knob turns; the gain follows on release.
        if (iMessage == MSG_LBUTTON_UP && m_pEngine)
            m_pEngine->m_Mixer.m_fInputGain.store(m_Knobs[0].m_fValue, kRelaxed);
        RequestRedrawIfIdle(CMD_KNOB, 0);
        return 1;
    }
    if (iMessage == MSG_MOUSE_MOVE)
        return ReleaseDraggedButton();
    return 0;
}

// A drag that left the button it started on releases it visually.
int CXEffects::ReleaseDraggedButton()
{
    const int iCommand = g_iLastCommand.load(kRelaxed);
    const int iIndex = g_iLastIndex.load(kRelaxed);
    CButton* pButton = nullptr;
    CRackSlot& tuner = Tuner();
    switch (iCommand)
    {
    case CMD_STRINGS:
        if (tuner.m_pStringButtons && iIndex >= 0 && iIndex < 6)
            pButton = &tuner.m_pStringButtons[iIndex];
        break;
    case CMD_TUNING:
        if (tuner.m_pTuningButtons && iIndex >= 0 && iIndex < 2)
            pButton = &tuner.m_pTuningButtons[iIndex];
        break;
    case CMD_TOP_BUTTON:
        if (iIndex >= 0 && iIndex < kNumTopButtons)
            pButton = &m_TopButtons[iIndex];
        break;
    case CMD_SLOT_POWER: pButton = &tuner.m_PowerButton; break;
    case CMD_MIXER: pButton = &m_MixerButton; break;
    default: break;
    }
    if (!pButton)
        return 0;
    pButton->m_bPressed = 0;
    pButton->m_bArmed = 0;
    RequestRedrawIfIdle(iCommand, iIndex);
    return 1;
}
