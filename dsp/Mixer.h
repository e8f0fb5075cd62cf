#pragma once
// Input and output gain and balance of the audible path.
#include <atomic>

#include "dsp/SampleBuffer.h"

class Mixer
{
public:
    // Written by the panel on the window thread, read per block on the audio thread.
    std::atomic<float> m_fInputGain{1.0f};
    std::atomic<float> m_fInputBalance{0.5f};  // 0 = left only, 0.5 = centre, 1 = right only
    std::atomic<float> m_fOutputGain{0.5f};
    std::atomic<float> m_fOutputBalance{0.5f};
    CSampleBuffer m_fOutput;

    int Init();
    void Release();
    CSampleBuffer* ProcessIn(const CSampleBuffer* pIn, int iOffset);
    CSampleBuffer* ProcessOut(const CSampleBuffer* pIn, int iOffset);

    // Per-channel gains of the balance law: centre passes both at 1.0.
    static void BalanceGains(float fBalance, float& fLeft, float& fRight);

private:
    CSampleBuffer* Apply(const CSampleBuffer* pIn, int iOffset, float fGain, float fBalance);
};
