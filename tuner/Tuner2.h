#pragma once
// The tuner proper: finds the lowest sounding analyser band, narrows the signal
// around it with four band-pass sections, lets the estimator measure it, and keeps
// the table of tunings from which the target string's frequency comes.
#include <atomic>

#include "dsp/BpFilter.h"
#include "dsp/SampleBuffer.h"
#include "tuner/Tuner.h"

class Analyser;

class Tuner2
{
public:
    static constexpr int kMaxTunings = 100;
    static constexpr int kNumStrings = 6;
    static constexpr int kNumFilters = 4;
    static constexpr int kDefaultTuning = 28;        // "E", standard tuning
    static constexpr float kBandThreshold = 50.0f;   // held band peak that counts as sounding
    static constexpr float kSoundingShare = 0.25f;   // ... and its share of the loudest band
    static constexpr float kFundamentalShare = 1.0f / 64.0f;  // an octave below still counts
    static constexpr float kPeakMargin = 1.5f;       // over the bands two semitones away

    int m_iReserved = 0;
    int m_iNumFilters = 0;
    // Shared with the panel (window thread) and the read-out (frame timer).
    std::atomic<float> m_fNoteNumber{1.0f};  // 1 = C ... 12 = B
    std::atomic<int> m_iSelectedTuning{kDefaultTuning};
    std::atomic<int> m_iNumTunings{0};
    std::atomic<int> m_iSelectedString{0};   // 0 = lowest string
    std::atomic<float> m_fTrackingFreq{41.205f};
    std::atomic<float> m_fMeasuredFreq{0.0f};
    std::atomic<float> m_fTargetFreq{0.0f};

    float m_fStringFreq[kMaxTunings][kNumStrings] = {};
    char m_szStringNote[kMaxTunings][kNumStrings][5] = {};
    int m_iStringOctave[kMaxTunings][kNumStrings] = {};
    char m_szTuningName[kMaxTunings][10] = {};

    Tuner m_Tuner;
    BpFilter m_Filters[kNumFilters];
    CSampleBuffer m_fOutput;

    // The analyser whose held band peaks the band search reads.
    void Attach(const Analyser* pAnalyser) { m_pAnalyser = pAnalyser; }

    int Init();
    void Release();
    CSampleBuffer* Process(const CSampleBuffer* pIn, int iOffset);
    // No stream feeds the tuner: the read-out shows no pitch (no note, word or
    // bar) instead of the last reading.
    void ClearReading()
    {
        m_Tuner.SetMeasured(0.0f);
        m_fMeasuredFreq.store(0.0f, std::memory_order_relaxed);
    }

    // Appends a tuning: shape 0..4 (standard, drop, suspended, all fourths, the
    // "Hardcore" shape), shift in whole tones. 1 when a row was added.
    int AddTuning(int iShape, float fShiftTones, const char* szName);

    // Selects a string of the current tuning and makes it the target, as a string
    // button does.
    void SelectString(int iString);

    // Draws the read-out: tuning name, deviation bar, guidance words and the
    // note/frequency table (with the read-out's rules, in ReadOut.cpp). The
    // argument is not used.
    void Draw(int iUnused);

    // Index 0..99 of the table note nearest to f (ties to the lower note); 0 when
    // the note table does not exist yet.
    static int NearestNote(float f);

private:
    void BuildTunings();
    // The band of the lowest sounding note, or -1 when none sounds.
    int FindBand() const;
    bool IsPeak(int iBand) const;
    void HoldBandPeaks();
    float BandPeak(int iBand) const;

    const Analyser* m_pAnalyser = nullptr;
    int m_iTrackedBand = -1;
    static constexpr int kMaxHeldBands = 128;
    static constexpr float kMinHoldSeconds = 0.03f;  // a period of the lowest string, and some
    bool m_bOwnHold = false;
    int m_iHoldCount = 0;
    float m_afHoldAcc[kMaxHeldBands] = {};
    float m_afHeld[kMaxHeldBands] = {};
};
