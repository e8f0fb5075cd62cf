#include "tuner/Tuner.h"

#include "base/Log.h"
#include "dsp/StreamParams.h"

namespace {

constexpr int kDiagCount = 200;
float s_fDiagStore[kDiagCount];
int s_iDiagFill = 0;
int s_bDiagDone = 0;

void DiagnoseFrequency(float f)
{
    if (s_bDiagDone)
        return;
    if (s_iDiagFill < kDiagCount)
    {
        s_fDiagStore[s_iDiagFill++] = f;
        return;
    }
    float fSum = 0.0f;
    for (float v : s_fDiagStore)
        fSum += v;
    g_Log.Print("fAvgFreq = ", fSum * 0.005f);
    s_bDiagDone = 1;
}

} // namespace

void ResetFrequencyDiagnostic()
{
    s_iDiagFill = 0;
    s_bDiagDone = 0;
}

void Tuner::Accept(float f)
{
    m_fLatestFreq = f;
    DiagnoseFrequency(f);
    m_fRun[m_iRunCount++] = f;
    if (m_iRunCount == kRunLength)
    {
        float fSum = 0.0f;
        for (float v : m_fRun)
            fSum += v;
        SetMeasured(fSum * 0.05f);
        m_iRunCount = 0;
    }
}

const CSampleBuffer* Tuner::Process(const CSampleBuffer* pIn, int iOffset)
{
    const float* x = pIn->Channel(0);
    const int iEnd = iOffset + g_iBlockSize;
    for (int n = iOffset; n < iEnd; ++n)
    {
        const int p = n - 1 < 0 ? n - 1 + g_iBufMonoLen : n - 1;
        if (!(x[p] >= 0.0f && x[n] < 0.0f))
            continue;
        // Falling crossing, placed by linear interpolation between the two samples.
        const double dFrac = static_cast<double>(x[p]) / (static_cast<double>(x[n]) - x[p]);
        const double dTime = static_cast<double>(m_llClock + (n - iOffset)) - 1.0 - dFrac;
        if (m_bHavePrev && m_fGuideFreq > 0.0f &&
            (dTime - m_dPrevCrossingTime) * m_fGuideFreq < kMinPeriodShare * g_fSamplingFreq)
            continue;
        m_fCrossing = static_cast<float>(p - dFrac);
        if (m_bHavePrev)
        {
            m_fLastPeriod = static_cast<float>(dTime - m_dPrevCrossingTime);
            const float f = static_cast<float>(1.0 / (static_cast<double>(m_fLastPeriod) / g_fSamplingFreq));
            if (f > kMinFreq && f < kMaxFreq)
                Accept(f);
        }
        m_fPrevCrossing = m_fCrossing;
        m_dPrevCrossingTime = dTime;
        m_bHavePrev = 1;
    }
    m_llClock += g_iBlockSize;
    return pIn;
}
