#include "dsp/Mixer.h"

#include "dsp/StreamParams.h"

int Mixer::Init()
{
    return m_fOutput.Init("Mixer", "m_fOutput", g_iBufMonoLen, g_iBlockSize);
}

void Mixer::Release()
{
    m_fOutput.Release("Mixer", "m_fOutput");
}

void Mixer::BalanceGains(float fBalance, float& fLeft, float& fRight)
{
    if (fBalance <= 0.5f)
    {
        fLeft = 1.0f;
        fRight = 2.0f * fBalance;
    }
    else
    {
        fLeft = 2.0f * (1.0f - fBalance);
        fRight = 1.0f;
    }
}

CSampleBuffer* Mixer::Apply(const CSampleBuffer* pIn, int iOffset, float fGain, float fBalance)
{
    float afBalance[2];
    BalanceGains(fBalance, afBalance[0], afBalance[1]);
    const int iEnd = iOffset + g_iBlockSize;
    for (int c = 0; c < 2; ++c)
    {
        const float* x = pIn->Channel(c);
        float* y = m_fOutput.Channel(c);
        for (int n = iOffset; n < iEnd; ++n)
            y[n] = x[n] * afBalance[c] * fGain;
    }
    return &m_fOutput;
}

CSampleBuffer* Mixer::ProcessIn(const CSampleBuffer* pIn, int iOffset)
{
    return Apply(pIn, iOffset, m_fInputGain.load(std::memory_order_relaxed),
                 m_fInputBalance.load(std::memory_order_relaxed));
}

CSampleBuffer* Mixer::ProcessOut(const CSampleBuffer* pIn, int iOffset)
{
    return Apply(pIn, iOffset, m_fOutputGain.load(std::memory_order_relaxed),
                 m_fOutputBalance.load(std::memory_order_relaxed));
}
