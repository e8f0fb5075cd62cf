#pragma once
// The rack panel: every control on the window, its layout and its commands. Mouse
// commands never draw; they post a redraw request that the next frame carries out.
#include <atomic>

#include "panel/Button.h"
#include "panel/Knob.h"
#include "panel/RackSlot.h"

class CDspEngine;
class CPanelHost;

class CXEffects
{
public:
    static constexpr int kMaxSlots = 30;
    static constexpr int kNumUnitButtons = 22;
    static constexpr int kNumTopButtons = 5;
    enum TopButton
    {
        TOP_OPTIONS,
        TOP_WEBSITE,
        TOP_HELP,
        TOP_ABOUT,
        TOP_POWER,
    };

    int m_iWidth = 582, m_iHeight = 180;  // set by start-up before Init
    int m_iOriginX = 0, m_iOriginY = 0;
    int m_iWidth2 = 0, m_iHeight2 = 0;
    int m_iUnitWidth = 0, m_iUnitHeight = 0;
    int m_iUnitX = 0, m_iUnitY = 0;
    int m_iUnitX2 = 0, m_iUnitY2 = 0;
    std::atomic<int> m_bPower{0};  // audio switched on (title-bar "Power")
    int m_iNumSlots = 0;
    CRackSlot m_Slots[kMaxSlots];
    CButton m_UnitButtons[kNumUnitButtons];
    CButton m_MixerButton;
    CKnob m_Knobs[4];
    CButton m_TopButtons[kNumTopButtons];
    int m_iCurrentSlot = UNIT_TUNER;
    // Read from and written back to the settings file unchanged; nothing on the
    // panel uses it.
    unsigned g_iAnalyserSetting = 1;

    // The engine whose fields the panel shows and sets, and the platform it asks
    // for dialogs, pages and the audio stream. Set before Init.
    void Attach(CDspEngine* pEngine, CPanelHost* pHost);

    void Init();
    void Render();
    // 1 when a title-bar button took the message.
    int CheckControls(int x, int y, int iMessage);
    // 1 when a control took the message.
    int Mouse(int x, int y, int iMessage);

    CRackSlot& Tuner() { return m_Slots[UNIT_TUNER]; }
    CDspEngine* Engine() const { return m_pEngine; }

private:
    void SelectString(int i);
    void StepTuning(int iDirection);
    int ReleaseDraggedButton();

    CDspEngine* m_pEngine = nullptr;
    CPanelHost* m_pHost = nullptr;
};

// The program's panel.
extern CXEffects g_XEffects;
