#pragma once
// Zero-crossing pitch estimator: measures the period between successive falling
// zero crossings of a band-limited signal and publishes the mean of each run of
// 20 accepted frequencies. A published 0 means no pitch.
#include <atomic>

#include "dsp/SampleBuffer.h"

class Tuner
{
public:
    static constexpr int kRunLength = 20;
    static constexpr float kMinFreq = 20.0f;    // accepted range, both bounds excluded
    static constexpr float kMaxFreq = 2000.0f;
    static constexpr float kMinPeriodShare = 0.8f;
    // With a guide, accepted frequencies lie within three semitones of it: a
    // period far from the guide's is a missed or an extra crossing.
    static constexpr float kGuideLow = 0.8409f;
    static constexpr float kGuideHigh = 1.1892f;
    // A new note is estimated from its last kFirstEstimate periods when they agree
    // within kFirstSpread (longest to shortest, about 30 cents), else from twice as
    // many. The period after a new band starts, which the cascade's settling
    // bends, is passed over.
    static constexpr int kFirstEstimate = 3;
    static constexpr float kFirstSpread = 1.0175f;
    static constexpr int kSettlePeriods = 1;
    // Until its first run of 20 is complete, a confirmed note is published at
    // every period as the mean of its last kFirstWindow periods.
    static constexpr int kFirstWindow = 8;

    float m_fLatestFreq = 0.0f;                  // last accepted frequency
    std::atomic<float> m_fMeasuredFreq{41.205f};  // published mean; read by the read-out
    float m_fLastPeriod = 0.0f;                  // samples
    float m_fCrossing = 0.0f;                    // current crossing, array index
    float m_fPrevCrossing = 0.0f;                // previous crossing, array index
    // Crossing times on the estimator's own sample clock (samples it has examined).
    // Periods are measured on this clock rather than as differences of array
    // indices: an index difference loses the period that spans the array's wrap
    // and reads any period longer than the array (two blocks) as a shorter one,
    // which at small block sizes turns low strings into wrong notes.
    long long m_llClock = 0;                     // clock at the start of the next block
    double m_dPrevCrossingTime = 0.0;
    int m_iRunCount = 0;
    float m_fRun[kRunLength] = {};
    int m_bHavePrev = 0;
    // The frequency the tracker expects (its band centre), 0 for none. A falling
    // crossing sooner than kMinPeriodShare of its period after the last counted
    // one belongs to an upper partial, not to a new period, and is passed over.
    float m_fGuideFreq = 0.0f;

    int Init() { return 1; }
    void Release() {}

    // Examines channel 0 of the block at offset; returns the input unchanged.
    const CSampleBuffer* Process(const CSampleBuffer* pIn, int iOffset);

    // Starts a new run at the next crossing; the published value stays.
    void Restart()
    {
        m_iRunCount = 0;
        m_bHavePrev = 0;
    }
    // Starts a new note whose periods wait, unpublished and unseen by the
    // diagnostic, until the tracker has confirmed that they are the note's own.
    void HoldBack()
    {
        Restart();
        m_bHeld = true;
        m_iPending = 0;
        m_iSettle = kSettlePeriods;
        m_iHeldPeriods = 0;
        m_bFirstRun = true;
    }
    // The last iCount waiting periods are the note's: they join its run and the
    // note is published from the first estimate on.
    void Confirm(int iCount);
    bool Held() const { return m_bHeld; }
    // Whether the note's first run of 20 is still being gathered.
    bool FirstRun() const { return m_bFirstRun; }
    int PendingCount() const { return m_iPending; }
    // Periods that came since HoldBack, the ones passed over included.
    int HeldPeriods() const { return m_iHeldPeriods; }
    // The mean frequency of all waiting periods, 0 for none.
    float PendingMean() const;
    // The estimate of the waiting periods (see kFirstEstimate), their count in
    // *pCount; 0 while too few wait.
    float PendingEstimate(int* pCount) const;

    float Measured() const { return m_fMeasuredFreq.load(std::memory_order_relaxed); }
    void SetMeasured(float f) { m_fMeasuredFreq.store(f, std::memory_order_relaxed); }

private:
    void Accept(float f);
    void Publish(float f);

    bool m_bHeld = false;
    bool m_bFirstRun = false;
    int m_iHeldPeriods = 0;
    int m_iSettle = 0;                           // periods still to pass over
    int m_iPending = 0;                          // periods waiting, the newest last
    float m_fPending[kRunLength] = {};
};

// The program-wide one-time diagnostic: the mean of the first 200 accepted
// frequencies, logged once at the 201st. Exposed so tests can start it afresh.
void ResetFrequencyDiagnostic();
