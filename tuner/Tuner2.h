#pragma once
// The tuner proper: finds the lowest sounding analyser band, narrows the signal
// around it with four band-pass sections, lets the estimator measure it, and keeps
// the table of tunings from which the target string's frequency comes.
#include <atomic>

#include "dsp/BpFilter.h"
#include "dsp/SampleBuffer.h"
#include "tuner/Repetition.h"
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
    // The repetition checks: the input's last kCheckSeconds are compared with
    // itself a period of each candidate note earlier.
    static constexpr float kCheckSeconds = 0.02f;
    static constexpr int kMaxPartial = 6;            // partials a note is looked for under
    static constexpr float kMinRepetition = 0.5f;    // below it the input tells nothing
    static constexpr float kRepetitionMargin = 0.04f;  // a lower note must repeat better than this
    static constexpr float kClearRepetition = 0.8f;  // a period the input is measured by
    static constexpr int kMaxSubPeriod = 8;          // parts of a period looked at for a higher note
    static constexpr float kHeardMargin = 0.01f;     // ... for a note the bank hears
    static constexpr float kAttackRise = 2.0f;       // loudest held peak over the one before
    static constexpr float kRisingShare = 1.0f / 256.0f;  // a band heard under the band found
    static constexpr float kBarrenSeconds = 0.05f;   // a band whose periods stop this long is given up
    static constexpr float kAloneSeconds = 0.15f;    // a note the input cannot confirm is taken after
    static constexpr float kMaxBandOffset = 1.0f;    // semitones between a note and its band
    static constexpr float kMaxReadingCents = 30.0f;  // between a reading and the input's period
    static constexpr float kRecheckCents = 5.0f;     // a reading this close to the last passed one passes
    // An unconfirmed note is read at the input's period: within a semitone of its
    // band, and found again within 1 % over twice the check's window.
    static constexpr double kBandTolerance = 0.06;
    static constexpr double kSteadyAgree = 0.01;

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

    float m_fStringFreq[kMaxTunings][kNumStrings] = {};  // at the reference pitch
    int m_iStringNoteIndex[kMaxTunings][kNumStrings] = {};  // in the note table
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

    // The reference pitch changed: every string's frequency and the target follow
    // it. On the thread that selects strings (the window's).
    void UseReference();

    // Draws the read-out: tuning name, deviation bar, guidance words and the
    // note/frequency table (with the read-out's rules, in ReadOut.cpp). The
    // argument is not used.
    void Draw(int iUnused);

    // Index 0..99 of the table note nearest to f (ties to the lower note); 0 when
    // the note table does not exist yet.
    static int NearestNote(float f);

private:
    void BuildTunings();
    // The repetition checks' window, in samples.
    static int Window();
    // The input's best repetition within dTolerance of dLag (Repetition::kSilent
    // when silent or too little is kept).
    float RepeatAt(double dLag, double dTolerance) const;
    // The input's clear period within 3 % of dPeriod, else a Repetition code.
    double PeriodNear(double dPeriod) const;
    // Which partial of the sounding note a period of dPeriod samples is (1 = the
    // note itself), judged by the lag at which the input repeats; 0 while the
    // input does not tell.
    int PartialNumber(double dPeriod, double dTolerance, float* pRepeat = nullptr) const;
    // The j (2..8) at which the input repeats at least as well as fRepeat at
    // dPeriod / j, 0 for none.
    int RepeatsSooner(double dPeriod, float fRepeat) const;
    // The bands the tracker reads, and the loudest held peak from band iFrom up.
    int HeldBands() const;
    float Loudest(int iFrom) const;
    // k (2..6) when iBand lies at the k-th partial of the note in iNote, else 0.
    static int PartialIndex(int iNote, int iBand);
    // The period of the note being read: its reading's, else its band's.
    double NotePeriod() const;
    // Whether a band under the note being read is a note of its own.
    bool RepeatsBetterBelow(int iBand) const;
    // A band that sounds, even far under the loudest: a clear peak above 1/64 of it.
    bool Holds(int iBand) const;
    // Whether the input says that a band lying a partial above the note being read
    // is no longer that note's partial but a note of its own.
    bool IsOtherNote(int iBand) const;
    // The band of the note of which iBand holds a partial (iBand itself when the
    // input says nothing else).
    int NoteUnder(int iBand, float fHeardShare) const;
    // Whether the bank hears the note k partials under iBand, or one of its
    // partials under iBand.
    bool HeardUnder(int iBand, int k, float fShare) const;
    // Tracks iBand as a new note, unpublished until it is confirmed.
    void StartNote(int iBand);
    // While the note is unconfirmed: confirms it, or moves to the note of which
    // its periods are a partial.
    void CheckNote();
    // Passes over the tracked band, whose periods are not a note's, for the next
    // sounding band above it.
    void RefuseBand();
    // The lowest sounding band from two above iBand, in the fresher peaks.
    int FreshBandAbove(int iBand);
    // How long a band may go without a new period before it is refused.
    double BarrenSamples() const;
    // Reads an unconfirmed note at the input's own period, until the estimator's
    // periods confirm it.
    void ReadRepetition();
    // Takes the band the bank found this block: the same note, a partial of it,
    // or a new note.
    void FollowBand(int iBand);
    // Holds a new reading against the input's period, and withholds it when they
    // disagree.
    void CheckReading();
    // The band of the lowest sounding note, or -1 when none sounds.
    // Only bands from iFrom up are looked at.
    int FindBand(int iFrom) const;
    bool IsPeak(int iBand) const;
    void HoldBandPeaks();
    float BandPeak(int iBand) const;

    const Analyser* m_pAnalyser = nullptr;
    int m_iTrackedBand = -1;
    static constexpr int kMaxHeldBands = 128;
    static constexpr float kMinHoldSeconds = 0.03f;  // a period of the lowest string, and some
    bool m_bOwnHold = false;
    bool m_bFresh = false;                     // BandPeak includes the hold being gathered
    int m_iHoldCount = 0;
    float m_afHoldAcc[kMaxHeldBands] = {};
    float m_afHeld[kMaxHeldBands] = {};

    Repetition m_Input;                        // the newest input, for the checks
    long long m_llNoteStart = 0;               // m_Input.Count() when the note was started
    float m_fTrustedFreq = 0.0f;               // the note's last reading that passed
    float m_fCheckedFreq = 0.0f;               // the last reading held against the input
    int m_iRefusedBand = -1;                   // a band passed over for the sounding note
    int m_iPeriodsSeen = 0;                    // the estimator's held periods at the last count
    long long m_llPeriodsSeen = 0;             // m_Input.Count() when that count changed
    bool m_bBankNote = false;                  // confirmed by the bank where the input did not repeat
    float m_fLoudest = 0.0f;                   // the loudest held peak
    bool m_bRising = false;                    // ... at least doubled at its last change
};
