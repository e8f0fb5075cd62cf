#include "dsp/Limiter.h"

#include <cmath>

#include "dsp/StreamParams.h"
#include "render/RedrawRequest.h"

int Limiter::Init()
{
    m_fGain = 1.0f;
    return m_fOutput.Init("Limiter", "m_fOutput", g_iBufMonoLen, g_iBlockSize);
}

void Limiter::Release()
{
    m_fOutput.Release("Limiter", "m_fOutput");
}

CSampleBuffer* Limiter::Process(const CSampleBuffer* pIn, int iOffset)
{
    const int iEnd = iOffset + g_iBlockSize;
    float fOverPeak = 0.0f;
    for (int c = 0; c < 2; ++c)
    {
        const float* x = pIn->Channel(c);
        for (int n = iOffset; n < iEnd; ++n)
        {
            const float a = std::fabs(x[n]);
            if (a > m_fThreshold && a > fOverPeak)
                fOverPeak = a;
        }
    }
    if (fOverPeak > 0.0f)
    {
        m_fGain = m_fThreshold / fOverPeak;
        // Only when idle: a pending button redraw must not be swallowed by this.
        RequestRedrawIfIdle(CMD_LIMITER, 0);
    }
    for (int c = 0; c < 2; ++c)
    {
        const float* x = pIn->Channel(c);
        float* y = m_fOutput.Channel(c);
        for (int n = iOffset; n < iEnd; ++n)
            y[n] = x[n] * m_fGain;
    }
    return &m_fOutput;
}
