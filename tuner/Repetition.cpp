#include "tuner/Repetition.h"

#include <algorithm>
#include <cmath>

void Repetition::Append(const float* x, int iCount)
{
    for (int n = 0; n < iCount; ++n)
        m_afSamples[(m_llCount + n) & (kLength - 1)] = x[n];
    m_llCount += iCount;
}

float Repetition::At(int iLag, int iWindow) const
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
    for (int iLag = iFrom; iLag <= iTo; iLag += iStep)
    {
        const float r = At(iLag, iWindow);
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
