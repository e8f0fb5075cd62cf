#pragma once
// One unit slot of the rack: the unit's type, its on switch, its area and its
// controls. The panel always shows slot 19, the tuner.
#include <atomic>

#include "panel/Button.h"
#include "panel/Knob.h"

class CDspEngine;

constexpr int UNIT_TUNER = 19;

class CRackSlot
{
public:
    static constexpr int kNumKnobs = 11;
    static constexpr int kNumLabels = 10;
    static constexpr int kNameSize = 20;

    int m_iType = 0;
    std::atomic<int> m_bOn{0};  // for the tuner, the switch the engine reads every block
    int m_iPanelX = 0, m_iPanelY = 0;
    int m_iPanelWidth = 0, m_iPanelHeight = 0;
    int m_iPanelWidth2 = 0, m_iPanelHeight2 = 0;
    int m_iUnitX = 0, m_iUnitY = 0;
    int m_iUnitWidth = 0, m_iUnitHeight = 0;
    int m_iUnitX2 = 0, m_iUnitY2 = 0;
    CButton m_PowerButton;
    CKnob m_Knobs[kNumKnobs];
    CButton* m_pStringButtons = nullptr;  // tuner only: six
    CButton* m_pTuningButtons = nullptr;  // tuner only: "-" and "+"
    int m_iNumKnobs = 0;
    char m_szName[kNameSize] = {};
    char m_szLabel[kNumLabels][kNameSize] = {};
    std::atomic<float>* m_pParam[kNumKnobs] = {};

    CRackSlot() = default;
    ~CRackSlot();
    CRackSlot(const CRackSlot&) = delete;
    CRackSlot& operator=(const CRackSlot&) = delete;

    void SetName(const char* szName);
    void SetLabels(const char* const* pszLabels, int nLabels);
    void SetParams(std::atomic<float>* const* ppParams, int nParams);
    void SetKinds(const int* piKinds, int nKinds);
    void SetRanges(const float* pfMinMax, int nPairs);
    // Makes the power button and knobs; the tuner also gets its string and tuning
    // buttons, labelled from the engine's current tuning.
    void CreateControls(const CDspEngine* pEngine);
    void UpdateAngles();
    void Render(const CDspEngine* pEngine);
    // 2001..2006 a string button, 2007/2008 "-"/"+", 2000 the power button, else 0.
    int HitTest(int x, int y, int iMessage);
    // Relabels the string buttons with the notes of a tuning.
    void LabelStrings(const CDspEngine* pEngine);
};
