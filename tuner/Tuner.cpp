#include "tuner/Tuner.h"

#include <algorithm>

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
    if (m_bHeld)
    {
        ++m_iHeldPeriods;
        if (m_iSettle > 0)
        {
            --m_iSettle;
            return;
        }
        if (m_iPending == kRunLength)
        {
            std::copy(m_fPending + 1, m_fPending + kRunLength, m_fPending);
            --m_iPending;
        }
        m_fPending[m_iPending++] = f;
        return;
    }
    Publish(f);
}

void Tuner::Publish(float f)
{
    DiagnoseFrequency(f);
    m_fRun[m_iRunCount++] = f;
    if (m_iRunCount == kRunLength)
    {
        float fSum = 0.0f;
        for (float v : m_fRun)
            fSum += v;
        SetMeasured(fSum * 0.05f);
        m_iRunCount = 0;
        m_bFirstRun = false;
    }
    else if (m_bFirstRun && m_iRunCount >= kFirstEstimate)
    {
        // The attack's pitch settles: the first estimates follow the latest periods.
        const int iFrom = std::max(m_iRunCount - kFirstWindow, 0);
        float fSum = 0.0f;
        for (int i = iFrom; i < m_iRunCount; ++i)
            fSum += m_fRun[i];
        SetMeasured(fSum / static_cast<float>(m_iRunCount - iFrom));
    }
}

void Tuner::Confirm(int iCount)
{
    if (!m_bHeld)
        return;
    m_bHeld = false;
    for (int i = std::max(m_iPending - iCount, 0); i < m_iPending; ++i)
        Publish(m_fPending[i]);
    m_iPending = 0;
}

float Tuner::PendingMean() const
{
    float fSum = 0.0f;
    for (int i = 0; i < m_iPending; ++i)
        fSum += m_fPending[i];
    return m_iPending ? fSum / static_cast<float>(m_iPending) : 0.0f;
}

float Tuner::PendingEstimate(int* pCount) const
{
    // The last few periods when they agree closely, else twice as many whatever
    // their spread within the guide's range: an amplifier's distortion makes
    // single periods jitter, and the tracker checks the estimate against the
    // input before it is taken.
    int iCount = kFirstEstimate;
    if (m_iPending < iCount)
        return 0.0f;
    const float* pLast = m_fPending + m_iPending;
    const auto range = std::minmax_element(pLast - iCount, pLast);
    if (*range.second > kFirstSpread * *range.first)
    {
        iCount = 2 * kFirstEstimate;
        if (m_iPending < iCount)
            return 0.0f;
    }
    float fSum = 0.0f;
    for (const float* p = pLast - iCount; p != pLast; ++p)
        fSum += *p;
    *pCount = iCount;
    return fSum / static_cast<float>(iCount);
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
            // A period far from the guide's is a missed or an extra crossing.
            const bool bNearGuide = m_fGuideFreq <= 0.0f ||
                                    (f > m_fGuideFreq * kGuideLow && f < m_fGuideFreq * kGuideHigh);
            if (f > kMinFreq && f < kMaxFreq && bNearGuide)
                Accept(f);
        }
        m_fPrevCrossing = m_fCrossing;
        m_dPrevCrossingTime = dTime;
        m_bHavePrev = 1;
    }
    m_llClock += g_iBlockSize;
    return pIn;
}
