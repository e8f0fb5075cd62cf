#include "tuner/Tuner2.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "dsp/Analyser.h"
#include "dsp/NoteTable.h"
#include "dsp/ReferencePitch.h"
#include "dsp/StreamParams.h"

namespace {

constexpr float kInitialCentreHz = 41.205f;
constexpr float kDefaultTargetHz = 82.41f;
constexpr auto kRelaxed = std::memory_order_relaxed;

// Bands from a note up to its partials 2..8.
constexpr int kPartialBands[Tuner2::kMaxSubPeriod + 1] = {0, 0, 12, 19, 24, 28, 31, 34, 36};

// Note indices of the six strings, lowest first, at shift 0.
constexpr int kShapes[5][Tuner2::kNumStrings] = {
    {28, 33, 38, 43, 47, 52},  // standard
    {26, 33, 38, 43, 47, 52},  // drop
    {26, 33, 38, 43, 45, 50},  // suspended
    {28, 33, 38, 43, 48, 53},  // all fourths
    {24, 31, 36, 41, 45, 46},  // "Hardcore"
};

struct TuningDef
{
    int iShape;
    float fShiftTones;
    const char* szName;
};

constexpr TuningDef kTunings[] = {
    {1, -6.0f, "Drop D1"}, {1, -5.5f, "Drop Eb"}, {0, -6.0f, "Octave"},  {1, -5.0f, "Drop E"},
    {0, -5.5f, "F"},       {1, -4.5f, "Drop F"},  {0, -5.0f, "Gb"},      {1, -4.0f, "Drop Gb"},
    {0, -4.5f, "G"},       {1, -3.5f, "Drop G"},  {0, -4.0f, "Ab"},      {1, -3.0f, "Drop Ab"},
    {0, -3.5f, "A"},       {1, -2.5f, "Drop A"},  {0, -3.0f, "Bb"},      {1, -2.0f, "Drop Bb"},
    {0, -2.5f, "B"},       {1, -1.5f, "Drop B"},  {0, -2.0f, "C"},       {4, 0.0f, "Hardcore"},
    {1, -1.0f, "Drop C"},  {0, -1.5f, "Db"},      {1, -0.5f, "Drop Db"}, {2, 0.0f, "Dsus4"},
    {0, -1.0f, "D"},       {1, 0.0f, "Drop D"},   {0, -0.5f, "Eb"},      {3, 0.0f, "All 4ths"},
    {0, 0.0f, "E"},        {0, 0.5f, "F"},        {0, 1.0f, "Gb"},       {0, 1.5f, "G"},
};

} // namespace

int Tuner2::Init()
{
    if (!m_fOutput.Init("Tuner2", "m_fOutput", g_iBufMonoLen, g_iBlockSize))
        return 0;
    m_iReserved = 11;
    m_iNumFilters = kNumFilters;
    for (BpFilter& f : m_Filters)
    {
        if (!f.Init(g_iBufMonoLen, g_iBlockSize))
            return 0;
        f.m_fF0 = kInitialCentreHz;
        f.m_fBW = 1.0f;
        f.m_iType = 4;
        f.Design();
    }
    if (!m_Tuner.Init())
        return 0;
    m_fMeasuredFreq.store(0.0f, kRelaxed);
    m_Tuner.SetMeasured(0.0f);
    m_Input.Clear();
    StartNote(-1);
    m_iRefusedBand = -1;
    m_fLoudest = 0.0f;
    m_bRising = false;
    m_iHoldCount = 0;
    std::fill(std::begin(m_afHoldAcc), std::end(m_afHoldAcc), 0.0f);
    std::fill(std::begin(m_afHeld), std::end(m_afHeld), 0.0f);
    BuildTunings();
    // The selected tuning and string outlive a restart (an Options OK), and so
    // must the target: a lit string button read against another string would
    // show a plainly wrong word.
    const int iTuning = m_iSelectedTuning.load(kRelaxed);
    const int iString = m_iSelectedString.load(kRelaxed);
    const bool bSelected = iTuning >= 0 && iTuning < m_iNumTunings.load(kRelaxed) && iString >= 0 &&
                           iString < kNumStrings;
    m_fTargetFreq.store(bSelected ? NoteFrequency(m_iStringNoteIndex[iTuning][iString])
                                  : static_cast<float>(kDefaultTargetHz * ReferenceRatio()),
                        kRelaxed);
    return 1;
}

void Tuner2::Release()
{
    m_fOutput.Release("Tuner2", "m_fOutput");
    for (BpFilter& f : m_Filters)
        f.Release();
    m_Tuner.Release();
}

void Tuner2::BuildTunings()
{
    // The table is constant, so it is built once: rebuilding it at every stream
    // restart would rewrite labels the panel is reading on another thread.
    if (m_iNumTunings.load(kRelaxed) != 0)
        return;
    for (const TuningDef& t : kTunings)
        AddTuning(t.iShape, t.fShiftTones, t.szName);
}

int Tuner2::AddTuning(int iShape, float fShiftTones, const char* szName)
{
    const int iRow = m_iNumTunings.load(kRelaxed);
    if (iShape < 0 || iShape > 4 || iRow >= kMaxTunings || !szName)
        return 0;
    const int iShift = static_cast<int>(2.0f * fShiftTones);
    int aiNote[kNumStrings];
    for (int j = 0; j < kNumStrings; ++j)
    {
        aiNote[j] = kShapes[iShape][j] + iShift;
        if (aiNote[j] < 0 || aiNote[j] >= NUM_NOTES)
            return 0;
    }
    for (int j = 0; j < kNumStrings; ++j)
    {
        m_fStringFreq[iRow][j] = NoteFrequency(aiNote[j]);
        m_iStringNoteIndex[iRow][j] = aiNote[j];
        std::memcpy(m_szStringNote[iRow][j], g_szNoteName[aiNote[j] % 12], 3);
        m_iStringOctave[iRow][j] = aiNote[j] / 12;
    }
    std::strncpy(m_szTuningName[iRow], szName, sizeof(m_szTuningName[iRow]) - 1);
    m_szTuningName[iRow][sizeof(m_szTuningName[iRow]) - 1] = '\0';
    m_iNumTunings.store(iRow + 1, kRelaxed);
    return 1;
}

void Tuner2::UseReference()
{
    const int iRows = m_iNumTunings.load(kRelaxed);
    for (int iRow = 0; iRow < iRows; ++iRow)
        for (int j = 0; j < kNumStrings; ++j)
            m_fStringFreq[iRow][j] = NoteFrequency(m_iStringNoteIndex[iRow][j]);
    SelectString(m_iSelectedString.load(kRelaxed));
}

void Tuner2::SelectString(int iString)
{
    if (iString < 0 || iString >= kNumStrings)
        return;
    // The string is chosen even before the tunings exist (no audio yet), so the lit
    // button and the target agree once they do.
    m_iSelectedString.store(iString, kRelaxed);
    const int iTuning = m_iSelectedTuning.load(kRelaxed);
    if (iTuning >= 0 && iTuning < m_iNumTunings.load(kRelaxed))
        m_fTargetFreq.store(m_fStringFreq[iTuning][iString], kRelaxed);
}

bool Tuner2::IsPeak(int iBand) const
{
    // A note lifts its own band above both neighbours and well above the bands two
    // semitones away; the slopes of rumble, hum skirts and leakage from a loud
    // neighbour do not. Bands beyond the ends count as silent.
    const int iNumBands = HeldBands();
    auto held = [&](int b) { return b >= 0 && b < iNumBands ? BandPeak(b) : 0.0f; };
    const float h = held(iBand);
    return h >= held(iBand - 1) && h >= held(iBand + 1) && h > kPeakMargin * held(iBand - 2) &&
           h > kPeakMargin * held(iBand + 2);
}

void Tuner2::HoldBandPeaks()
{
    // The analyser holds each band's peak over three blocks. With small blocks that
    // is shorter than a period of the low strings, and a band sounding in its
    // negative half-wave would look silent: then the peaks are held here over a
    // window of whole blocks that spans at least one such period.
    const int iNumBands = HeldBands();
    const int iWindow = static_cast<int>(std::ceil(g_fSamplingFreq * kMinHoldSeconds / g_iBlockSize));
    m_bOwnHold = iWindow > 3;
    if (!m_bOwnHold)
        return;
    for (int b = 0; b < iNumBands; ++b)
        m_afHoldAcc[b] = std::max(m_afHoldAcc[b], m_pAnalyser->HeldPeak(b));
    if (++m_iHoldCount < iWindow)
        return;
    for (int b = 0; b < iNumBands; ++b)
    {
        m_afHeld[b] = m_afHoldAcc[b];
        m_afHoldAcc[b] = 0.0f;
    }
    m_iHoldCount = 0;
}

float Tuner2::BandPeak(int iBand) const
{
    const float fHeld = m_bOwnHold ? m_afHeld[iBand] : m_pAnalyser->HeldPeak(iBand);
    if (!m_bFresh)
        return fHeld;
    return std::max(fHeld, m_bOwnHold ? m_afHoldAcc[iBand] : m_pAnalyser->m_pPeakAcc[0][iBand]);
}

int Tuner2::HeldBands() const
{
    return m_pAnalyser ? std::min(m_pAnalyser->NumBands(), kMaxHeldBands) : 0;
}

float Tuner2::Loudest(int iFrom) const
{
    const int iNumBands = HeldBands();
    float fLoudest = 0.0f;
    for (int b = std::max(iFrom, 0); b < iNumBands; ++b)
        fLoudest = std::max(fLoudest, BandPeak(b));
    return fLoudest;
}

bool Tuner2::Holds(int iBand) const
{
    const int iNumBands = HeldBands();
    return iBand >= 0 && iBand < iNumBands && BandPeak(iBand) > kFundamentalShare * Loudest(0) && IsPeak(iBand);
}

int Tuner2::FindBand(int iFrom) const
{
    const int iNumBands = HeldBands();
    const float fLoudest = Loudest(iFrom);

    // The lowest band that sounds: above the fixed level, not buried under the
    // loudest band, and a peak of its own.
    int iBand = -1;
    for (int b = std::max(iFrom, 0); b < iNumBands && iBand < 0; ++b)
    {
        const float h = BandPeak(b);
        if (h > kBandThreshold && h > kSoundingShare * fLoudest && IsPeak(b))
            iBand = b;
    }
    if (iBand < 0)
        return -1;

    // Wound strings and many pickups give a fundamental far weaker than its octave,
    // and it may fade first: a clear peak an octave below is the string itself.
    // The lowest strings of the deepest tunings lie up to two semitones under the
    // bank; their octave below is the lowest band.
    const int iOctave = iBand - 12 >= -2 ? std::max(iBand - 12, 0) : -1;
    if (Holds(iOctave))
        iBand = iOctave;
    // As a string fades its upper partials may outlast the lower ones; while the
    // band tracked so far still holds a clear peak, its octave, twelfth and double
    // octave are its own partials, not a new note.
    const int iRise = iBand - m_iTrackedBand;
    if ((iRise == 12 || iRise == 19 || iRise == 24) && Holds(m_iTrackedBand))
        iBand = m_iTrackedBand;
    return iBand;
}

int Tuner2::NearestNote(float f)
{
    const float* pNote = g_pNoteFreq.load(std::memory_order_acquire);
    if (!pNote)
        return 0;
    float fBest = 10000.0f;
    int iBest = 0;
    for (int k = 0; k < NUM_NOTES; ++k)
    {
        const float d = std::fabs(f - pNote[k]);
        if (d < fBest)
        {
            iBest = k;
            fBest = d;
        }
    }
    return iBest;
}

int Tuner2::Window()
{
    return static_cast<int>(std::lround(kCheckSeconds * g_fSamplingFreq));
}

float Tuner2::RepeatAt(double dLag, double dTolerance) const
{
    return m_Input.BestNear(dLag, dTolerance, Window());
}

int Tuner2::PartialNumber(double dPeriod, double dTolerance, float* pRepeat) const
{
    if (!m_pAnalyser || !(dPeriod > 0.0))
        return 0;
    // No note lies under the lowest strings the bank is made for.
    const double dLongest = g_fSamplingFreq / (m_pAnalyser->BandFrequency(0) * 0.89);
    float afRepeat[kMaxPartial + 1] = {};
    int iCount = 0;
    float fBest = Repetition::kSilent;
    for (int k = 1; k <= kMaxPartial && k * dPeriod <= dLongest; ++k)
    {
        afRepeat[k] = RepeatAt(k * dPeriod, dTolerance);
        // A lower note that cannot be judged yet may still be the one.
        if (afRepeat[k] == Repetition::kSilent)
            return 0;
        fBest = std::max(fBest, afRepeat[k]);
        iCount = k;
    }
    if (iCount == 0 || fBest < kMinRepetition)
        return 0;
    for (int k = 1; k <= iCount; ++k)
        if (afRepeat[k] >= fBest - kRepetitionMargin)
        {
            if (pRepeat)
                *pRepeat = afRepeat[k];
            return k;
        }
    return 0;
}

double Tuner2::PeriodNear(double dPeriod) const
{
    // The crossings of a distorted attack can run a few percent off its period.
    return m_Input.PeriodNear(dPeriod, 0.03, Window(), kClearRepetition);
}

int Tuner2::RepeatsSooner(double dPeriod, float fRepeat) const
{
    // The shortest period a partial of the bank's range can have.
    const double dShortest = g_fSamplingFreq / m_pAnalyser->BandFrequency(m_pAnalyser->NumBands() - 1);
    for (int j = 2; j <= kMaxSubPeriod && dPeriod / j >= dShortest; ++j)
        if (RepeatAt(dPeriod / j, 0.004) >= fRepeat)
            return j;
    return 0;
}


int Tuner2::PartialIndex(int iNote, int iBand)
{
    for (int k = 2; k <= kMaxPartial; ++k)
        if (std::abs(iBand - iNote - kPartialBands[k]) <= 1)
            return k;
    return 0;
}

double Tuner2::NotePeriod() const
{
    const float fMeasured = m_Tuner.Measured();
    return g_fSamplingFreq / (fMeasured > 0.0f ? fMeasured : m_pAnalyser->BandFrequency(m_iTrackedBand));
}

bool Tuner2::IsOtherNote(int iBand) const
{
    const int k = PartialIndex(m_iTrackedBand, iBand);
    const double dPeriod = NotePeriod() / k;
    const double dTolerance = m_Tuner.Measured() > 0.0f ? 0.004 : 0.03;
    return RepeatAt(dPeriod, dTolerance) != Repetition::kSilent && PartialNumber(dPeriod, dTolerance) != k;
}

bool Tuner2::RepeatsBetterBelow(int iBand) const
{
    // A note under the one being read is new only when the input repeats clearly
    // better at its period: a faint band under a note is no note of its own.
    // Without input to judge by, the bank's lowest note is taken.
    const float fNote = RepeatAt(NotePeriod(), m_Tuner.Measured() > 0.0f ? 0.004 : 0.03);
    const float fBelow = RepeatAt(g_fSamplingFreq / m_pAnalyser->BandFrequency(iBand), 0.03);
    return fNote == Repetition::kSilent || fBelow >= fNote + kRepetitionMargin;
}

int Tuner2::NoteUnder(int iBand, float fHeardShare) const
{
    // At an attack the upper partials reach the bank first: when the input repeats
    // at a multiple of the band's period, the note is that far below.
    float fRepeat = 0.0f;
    const double dPeriod = g_fSamplingFreq / m_pAnalyser->BandFrequency(iBand);
    const int k = PartialNumber(dPeriod, 0.03, &fRepeat);
    // A lag that holds several periods of another note says nothing of this one.
    return k > 1 && RepeatsSooner(k * dPeriod, fRepeat) == 0 && HeardUnder(iBand, k, fHeardShare) ? std::max(iBand - kPartialBands[k], 0)
                                                                                     : iBand;
}

bool Tuner2::HeardUnder(int iBand, int k, float fShare) const
{
    // Two strings a fourth or a fifth apart repeat together at a common multiple
    // of their periods, as a note far under both would: a note under the band is
    // taken only when the bank hears it or one of its partials under the band.
    const float fFloor = fShare * Loudest(0);
    for (int j = 1; j < k; ++j)
        if (BandPeak(std::max(iBand - kPartialBands[k] + kPartialBands[j], 0)) > fFloor)
            return true;
    return false;
}

void Tuner2::StartNote(int iBand)
{
    // Periods measured around another note would spoil the new note's run, and the
    // old reading no longer applies.
    m_Tuner.HoldBack();
    m_Tuner.SetMeasured(0.0f);
    m_iTrackedBand = iBand;
    m_llNoteStart = m_Input.Count();
    m_fTrustedFreq = 0.0f;
    m_fCheckedFreq = 0.0f;
    m_bBankNote = false;
    m_iPeriodsSeen = 0;
    m_llPeriodsSeen = m_Input.Count();
}

double Tuner2::BarrenSamples() const
{
    // Long enough for two periods of the band's note, and for kBarrenSeconds.
    return std::max(static_cast<double>(kBarrenSeconds) * g_fSamplingFreq,
                    2.0 * g_fSamplingFreq / m_pAnalyser->BandFrequency(m_iTrackedBand));
}

int Tuner2::FreshBandAbove(int iBand)
{
    // The fresher peaks stay in use until the block's band is followed.
    m_bFresh = true;
    return FindBand(iBand + 2);
}

void Tuner2::RefuseBand()
{
    m_iRefusedBand = m_iTrackedBand;
    const int iAbove = FreshBandAbove(m_iTrackedBand);
    m_bFresh = false;
    if (iAbove > m_iTrackedBand + 1)
        StartNote(NoteUnder(iAbove, kRisingShare));
}

void Tuner2::CheckNote()
{
    // As the attack goes on the input tells more: the band may turn out a partial.
    const int iUnder = NoteUnder(m_iTrackedBand, kFundamentalShare);
    if (iUnder != m_iTrackedBand)
    {
        StartNote(iUnder);
        return;
    }
    // Two strings ringing together repeat at neither's period, and the cascade
    // passes both: after a whole run of periods that stayed near a band the bank
    // hears, where the input does not repeat, its note is taken as the estimator
    // always took it; not at an attack, which does not repeat yet either.
    const float fMean = m_Tuner.PendingMean();
    if (m_Tuner.PendingCount() == Tuner::kRunLength && m_Input.Count() - m_llNoteStart >= kAloneSeconds * g_fSamplingFreq &&
        Holds(m_iTrackedBand) &&
        std::fabs(12.0f * std::log2(fMean / m_pAnalyser->BandFrequency(m_iTrackedBand))) <= kMaxBandOffset &&
        PeriodNear(g_fSamplingFreq / fMean) == Repetition::kNone)
    {
        m_Tuner.Confirm(Tuner::kRunLength);
        m_bBankNote = true;
        return;
    }
    int iCount = 0;
    const float fEstimate = m_Tuner.PendingEstimate(&iCount);
    // A band whose periods stopped coming before they made an estimate holds no
    // note of its own: the note is looked for above it.
    if (m_Tuner.HeldPeriods() != m_iPeriodsSeen)
    {
        m_iPeriodsSeen = m_Tuner.HeldPeriods();
        m_llPeriodsSeen = m_Input.Count();
    }
    if (fEstimate <= 0.0f && m_Input.Count() - m_llPeriodsSeen >= BarrenSamples())
    {
        RefuseBand();
        return;
    }
    if (fEstimate <= 0.0f)
        return;
    // Periods far from the band's centre are not the band's note: the cascade lets
    // a louder note through, and the guide makes several of its periods one.
    // The strings under the bank lie up to two semitones under its lowest band.
    const float fSemitones = 12.0f * std::log2(fEstimate / m_pAnalyser->BandFrequency(m_iTrackedBand));
    if (fSemitones > kMaxBandOffset || fSemitones < (m_iTrackedBand == 0 ? -2.5f : -kMaxBandOffset))
        return;
    // The input's own period near them is checked.
    const double dPeriod = PeriodNear(g_fSamplingFreq / fEstimate);
    if (dPeriod <= 0.0)
        return;
    float fRepeat = 0.0f;
    const int k = PartialNumber(dPeriod, 0.004, &fRepeat);
    if (k > 1 && HeardUnder(m_iTrackedBand, k, kRisingShare))
        StartNote(std::max(m_iTrackedBand - kPartialBands[k], 0));
    if (k != 1)
        return;
    // Nor is the note taken while the input repeats about as well at a part of its
    // period: then the periods span several of a higher note's.
    const float fMargin = Holds(m_iTrackedBand) ? kHeardMargin : kRepetitionMargin;
    if (RepeatsSooner(dPeriod, fRepeat - fMargin) == 0)
        m_Tuner.Confirm(iCount);
}

void Tuner2::ReadRepetition()
{
    // The estimator's first periods come only after the cascade has settled on
    // the band. Meanwhile an input that repeats clearly at a period within a
    // semitone of the band, at no part of it, over the check's window and over
    // the window twice as long, is read at that period. A reading it no longer
    // supports is withdrawn; while it says nothing, the reading stands.
    const double dBand = g_fSamplingFreq / m_pAnalyser->BandFrequency(m_iTrackedBand);
    const double dPeriod = m_Input.PeriodNear(dBand, kBandTolerance, Window(), kClearRepetition);
    if (dPeriod == Repetition::kUnknown)
        return;
    // A period that agrees with the reading shown was judged a whole note's already.
    const double dShown = m_Tuner.Measured() > 0.0f ? g_fSamplingFreq / m_Tuner.Measured() : 0.0;
    bool bClear = dPeriod > 0.0 && std::fabs(dPeriod / dShown - 1.0) <= kSteadyAgree;
    if (dPeriod > 0.0 && !bClear)
    {
        float fRepeat = 0.0f;
        const float fMargin = Holds(m_iTrackedBand) ? kHeardMargin : kRepetitionMargin;
        bClear = PartialNumber(dPeriod, 0.004, &fRepeat) == 1 && RepeatsSooner(dPeriod, fRepeat - fMargin) == 0;
    }
    if (bClear)
        bClear = m_Input.BestNear(dPeriod, kSteadyAgree, 2 * Window()) >= kClearRepetition;
    m_Tuner.SetMeasured(bClear ? static_cast<float>(g_fSamplingFreq / dPeriod) : 0.0f);
}

void Tuner2::FollowBand(int iBand)
{
    const int iRise = iBand - m_iTrackedBand;
    if (m_iTrackedBand >= 0)
    {
        if (std::abs(iRise) <= 1)
        {
            m_iTrackedBand = iBand;
            return;
        }
        // A band under the note being read, which explains the input better: it stays.
        if (iRise < 0 && PartialIndex(iBand, m_iTrackedBand) > 0 && !RepeatsBetterBelow(iBand))
            return;
        // A partial of the note being read, with no new attack: while the note
        // still repeats at its own period it is read on; once only the partial is
        // left, nothing is shown rather than the partial's note.
        if (iRise > 0 && !m_Tuner.Held() && PartialIndex(m_iTrackedBand, iBand) > 0 && !m_bRising)
        {
            if (IsOtherNote(iBand))
                m_Tuner.SetMeasured(0.0f);
            return;
        }
    }
    const int iNote = NoteUnder(iBand, kRisingShare);
    if (m_iTrackedBand < 0 || std::abs(iNote - m_iTrackedBand) > 1)
        StartNote(iNote);
}

void Tuner2::CheckReading()
{
    // A reading whose period the input does not repeat at is withheld: the
    // crossings of a distorted note can run off its pitch.
    const float fNew = m_Tuner.Measured();
    if (fNew <= 0.0f || fNew == m_fCheckedFreq)
        return;
    m_fCheckedFreq = fNew;
    auto cents = [](double a, double b) { return std::fabs(1200.0 * std::log2(a / b)); };
    // A reading close to the last one that passed needs no new search.
    if (m_fTrustedFreq > 0.0f && cents(fNew, m_fTrustedFreq) <= kRecheckCents)
        return;
    const double dPeriod = PeriodNear(g_fSamplingFreq / fNew);
    bool bOff = false;
    if (dPeriod > 0.0)
        bOff = cents(g_fSamplingFreq / dPeriod, fNew) > kMaxReadingCents;
    else if (dPeriod == Repetition::kOther)
        bOff = true;
    else if (dPeriod == Repetition::kNone)
        // Two strings ringing repeat at neither's period: for a note the bank
        // vouched for, its word stands while the readings stay together.
        bOff = !m_bBankNote || !Holds(m_iTrackedBand) ||
               (m_fTrustedFreq > 0.0f && cents(fNew, m_fTrustedFreq) > kMaxReadingCents);
    if (bOff)
        m_Tuner.SetMeasured(0.0f);
    else if (dPeriod == Repetition::kUnknown && m_fTrustedFreq > 0.0f)
        // The input has fallen silent and the filters ring on: the note's last
        // reading stands, not the ringing's.
        m_Tuner.SetMeasured(m_fTrustedFreq);
    else
        m_fTrustedFreq = fNew;
}

CSampleBuffer* Tuner2::Process(const CSampleBuffer* pIn, int iOffset)
{
    m_Input.Append(pIn->Channel(0) + iOffset, g_iBlockSize);
    HoldBandPeaks();
    // A new attack: the loudest held peak at least doubles from one hold to the
    // next.
    const float fLoudest = Loudest(0);
    if (fLoudest != m_fLoudest)
    {
        m_bRising = fLoudest > kAttackRise * m_fLoudest;
        m_fLoudest = fLoudest;
    }
    int iBand = FindBand(0);
    // From silence, a note is looked for in the peaks of the hold still being
    // gathered as well: the held ones lag the attack by up to a whole hold.
    if (iBand < 0 && m_Tuner.Measured() == 0.0f)
    {
        m_bFresh = true;
        iBand = FindBand(0);
    }
    // A band refused for this note is passed over until the input falls silent.
    if (iBand < 0)
        m_iRefusedBand = -1;
    else if (std::abs(iBand - m_iRefusedBand) <= 1)
    {
        iBand = FreshBandAbove(m_iRefusedBand);
        if (iBand < 0)
            iBand = m_iTrackedBand;
    }
    if (iBand >= 0)
    {
        FollowBand(iBand);
        m_fTrackingFreq.store(m_pAnalyser->BandFrequency(m_iTrackedBand), kRelaxed);
    }
    m_bFresh = false;

    // The cascade follows the tracked band; through silence it stays on the last one.
    const float fCentre = m_fTrackingFreq.load(kRelaxed);
    // The filters normally share one design: it is computed once and copied, which
    // gives the same coefficients as designing each.
    // The inputs are compared bit for bit (a zero's sign or a NaN changes a design).
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const BpFilter& first = m_Filters[0];
    for (BpFilter& f : m_Filters)
    {
        f.m_fF0 = fCentre;
        if (&f != &first && same(f.m_fBW, first.m_fBW) && same(f.m_fQ, first.m_fQ) && f.m_iType == first.m_iType &&
            f.m_iType >= 1 && f.m_iType <= 4)
        {
            f.m_fB0 = first.m_fB0;
            f.m_fB1 = first.m_fB1;
            f.m_fB2 = first.m_fB2;
            f.m_fA1 = first.m_fA1;
            f.m_fA2 = first.m_fA2;
        }
        else
        {
            f.Design();
        }
    }
    const float* x = BpFilter::ProcessCascade(pIn->Channel(0), iOffset, m_Filters, kNumFilters);
    std::memcpy(m_fOutput.Channel(0) + iOffset, x + iOffset, sizeof(float) * static_cast<size_t>(g_iBlockSize));

    if (iBand >= 0)
    {
        m_Tuner.m_fGuideFreq = fCentre;
        m_Tuner.Process(&m_fOutput, iOffset);
        if (m_Tuner.Held())
            CheckNote();
        if (m_Tuner.Held())
            ReadRepetition();
        CheckReading();
        const float fMeasured = m_Tuner.Measured();
        m_fMeasuredFreq.store(fMeasured, kRelaxed);
        m_fNoteNumber.store(static_cast<float>(NearestNote(fMeasured) % 12 + 1), kRelaxed);
    }
    else
    {
        m_Tuner.SetMeasured(0.0f);
    }
    return &m_fOutput;
}
