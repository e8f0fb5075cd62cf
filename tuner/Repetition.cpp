#include "tuner/Repetition.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void Repetition::Append(const float* x, int iCount)
{
    if (iCount <= 0)
        return;
    // Only the newest kLength samples can be kept.
    if (iCount > kLength)
    {
        m_llCount += iCount - kLength;
        x += iCount - kLength;
        iCount = kLength;
    }
    const int iAt = static_cast<int>(m_llCount & (kLength - 1));
    const int iToEnd = std::min(iCount, kLength - iAt);
    for (float* pCopy : {m_afSamples, m_afSamples + kLength})
    {
        std::memcpy(pCopy + iAt, x, sizeof(float) * static_cast<size_t>(iToEnd));
        std::memcpy(pCopy, x + iToEnd, sizeof(float) * static_cast<size_t>(iCount - iToEnd));
    }
    m_llCount += iCount;
}

double Repetition::Energy(const float* x, int iCount)
{
    double d = 0.0;
    for (int n = 0; n < iCount; ++n)
        d += static_cast<double>(x[n]) * x[n];
    return d;
}

float Repetition::Compare(const float* pNew, double dNew, int iLag, int iWindow) const
{
    const float* pOld = Kept(m_llCount - iWindow - iLag);
    // Four running sums of each kind, so that the additions need not wait on one
    // another.
    double adCross[4] = {}, adOld[4] = {};
    int n = 0;
    for (; n + 4 <= iWindow; n += 4)
        for (int j = 0; j < 4; ++j)
        {
            adCross[j] += static_cast<double>(pNew[n + j]) * pOld[n + j];
            adOld[j] += static_cast<double>(pOld[n + j]) * pOld[n + j];
        }
    for (; n < iWindow; ++n)
    {
        adCross[0] += static_cast<double>(pNew[n]) * pOld[n];
        adOld[0] += static_cast<double>(pOld[n]) * pOld[n];
    }
    const double dCross = (adCross[0] + adCross[1]) + (adCross[2] + adCross[3]);
    const double dOld = (adOld[0] + adOld[1]) + (adOld[2] + adOld[3]);
    if (!(dNew > 0.0) || dOld < kQuietShare * dNew)
        return kSilent;
    return static_cast<float>(2.0 * dCross / (dNew + dOld));
}

float Repetition::At(int iLag, int iWindow) const
{
    const float* pNew = Kept(m_llCount - iWindow);
    return Compare(pNew, Energy(pNew, iWindow), iLag, iWindow);
}

float Repetition::AtPlain(int iLag, int iWindow) const
{
    double dCross = 0.0, dNew = 0.0, dOld = 0.0;
    for (long long n = m_llCount - iWindow; n < m_llCount; ++n)
    {
        const float a = m_afSamples[n & (kLength - 1)];
        const float b = m_afSamples[(n - iLag) & (kLength - 1)];
        dCross += static_cast<double>(a) * b;
        dNew += static_cast<double>(a) * a;
        dOld += static_cast<double>(b) * b;
    }
    // Once the input has fallen silent it says nothing of the note, nor does a lag
    // that reaches back to before the note began.
    if (!(dNew > 0.0) || dOld < kQuietShare * dNew)
        return kSilent;
    return static_cast<float>(2.0 * dCross / (dNew + dOld));
}

bool Repetition::Keeps(double dLag, double dTolerance, int iWindow) const
{
    const double dKept = static_cast<double>(std::min<long long>(m_llCount, kLength));
    return dLag >= 2.0 && std::ceil(dLag * (1.0 + dTolerance)) + 2.0 + iWindow <= dKept;
}

Repetition::Best Repetition::Scan(int iFrom, int iTo, int iStep, int iWindow) const
{
    Best best{iFrom, kSilent};
    // The newest window is the same for every lag.
    const float* pNew = Kept(m_llCount - iWindow);
    const double dNew = Energy(pNew, iWindow);
    for (int iLag = iFrom; iLag <= iTo; iLag += iStep)
    {
        const float r = Compare(pNew, dNew, iLag, iWindow);
        if (r > best.fRepeat)
            best = {iLag, r};
    }
    return best;
}

int Repetition::From(double dLag, double dTolerance)
{
    return std::max(2, static_cast<int>(std::floor(dLag * (1.0 - dTolerance))));
}

int Repetition::To(double dLag, double dTolerance)
{
    return static_cast<int>(std::ceil(dLag * (1.0 + dTolerance)));
}

float Repetition::BestNear(double dLag, double dTolerance, int iWindow) const
{
    if (!Keeps(dLag, dTolerance, iWindow))
        return kSilent;
    // r falls off slowly enough around its peak for coarse steps to land near it.
    const int iFrom = From(dLag, dTolerance), iTo = To(dLag, dTolerance);
    const int iStep = std::max(1, static_cast<int>(dLag * 0.005));
    const Best coarse = Scan(iFrom, iTo, iStep, iWindow);
    const Best fine = Scan(std::max(iFrom, coarse.iLag - iStep + 1), std::min(iTo, coarse.iLag + iStep - 1), 1, iWindow);
    return std::max(coarse.fRepeat, fine.fRepeat);
}

float Repetition::BestNearPlain(double dLag, double dTolerance, int iWindow) const
{
    if (!Keeps(dLag, dTolerance, iWindow))
        return kSilent;
    return Scan(From(dLag, dTolerance), To(dLag, dTolerance), 1, iWindow).fRepeat;
}

double Repetition::PeriodNear(double dPeriod, double dTolerance, int iWindow, float fClear) const
{
    if (!Keeps(dPeriod, dTolerance, iWindow))
        return kUnknown;
    const int iFrom = From(dPeriod, dTolerance), iTo = To(dPeriod, dTolerance);
    const Best best = Scan(iFrom, iTo, 1, iWindow);
    if (best.fRepeat == kSilent)
        return kUnknown;
    if (best.fRepeat < fClear)
        return kNone;
    if (best.iLag == iFrom || best.iLag == iTo)
        return kOther;
    const double a = At(best.iLag - 1, iWindow), b = best.fRepeat, c = At(best.iLag + 1, iWindow);
    const double dCurve = a - 2.0 * b + c;
    return dCurve < 0.0 ? best.iLag + 0.5 * (a - c) / dCurve : static_cast<double>(best.iLag);
}
