#pragma once
// Keeps the newest input and tells how well it repeats after a given lag: the
// string tracker's evidence for which note a band's periods belong to. The
// measure over the last window of W samples is
//   r(L) = 2 * sum x[n] x[n-L] / sum (x[n]^2 + x[n-L]^2),
// 1 for a signal that repeats exactly after L samples, 0 or less when it does not.
class Repetition
{
public:
    static constexpr int kLength = 1 << 14;  // samples kept: a window and the longest lag, at 192 kHz
    // r when the newest window is silent, when the window a lag earlier holds
    // less than kQuietShare of its energy (the sound had not begun), or when too
    // little is kept: the input says nothing.
    static constexpr float kSilent = -2.0f;
    static constexpr double kQuietShare = 0.1;

    // What PeriodNear returns when it finds no period.
    static constexpr double kUnknown = 0.0;  // the input is silent, or too little is kept
    static constexpr double kOther = -1.0;   // it repeats best at an end of the range: another period
    static constexpr double kNone = -2.0;    // it does not repeat clearly anywhere in the range

    void Clear() { m_llCount = 0; }
    void Append(const float* x, int iCount);
    long long Count() const { return m_llCount; }

    // r at iLag over the last iWindow samples, or kSilent.
    // The caller makes sure that iLag + iWindow samples are kept.
    float At(int iLag, int iWindow) const;
    // The same, sample by sample around the ring: the plain reference for At.
    float AtPlain(int iLag, int iWindow) const;
    // The best r within dTolerance (a share of the lag) of dLag: coarse steps of
    // half a percent of the lag, then every lag around the best step. kSilent when
    // too little input is kept.
    float BestNear(double dLag, double dTolerance, int iWindow) const;
    // The same over every lag: the plain reference for BestNear.
    float BestNearPlain(double dLag, double dTolerance, int iWindow) const;
    // The lag within dTolerance of dPeriod at which the input repeats best, between
    // samples (a parabola through the best lag and its neighbours), when its r is
    // at least fClear; else kUnknown, kOther or kNone.
    double PeriodNear(double dPeriod, double dTolerance, int iWindow, float fClear) const;

private:
    struct Best
    {
        int iLag;
        float fRepeat;
    };
    // The best r over lags iFrom, iFrom + iStep, ... up to iTo.
    Best Scan(int iFrom, int iTo, int iStep, int iWindow) const;
    // The kept samples from the given count on, straight through for up to
    // kLength of them.
    const float* Kept(long long llSample) const { return m_afSamples + (llSample & (kLength - 1)); }
    static double Energy(const float* x, int iCount);
    // r of the newest window (its energy given) against the one iLag earlier.
    float Compare(const float* pNew, double dNew, int iLag, int iWindow) const;
    // The lags within dTolerance of dLag.
    static int From(double dLag, double dTolerance);
    static int To(double dLag, double dTolerance);
    // Whether the lags up to dLag * (1 + dTolerance) and the window are kept.
    bool Keeps(double dLag, double dTolerance, int iWindow) const;

    // Each sample is kept twice, kLength apart, so that no window wraps.
    float m_afSamples[2 * kLength] = {};
    long long m_llCount = 0;  // samples appended since Clear
};
