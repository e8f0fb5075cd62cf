#include "tuner/Tuner2.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "dsp/Analyser.h"
#include "dsp/NoteTable.h"
#include "dsp/StreamParams.h"

namespace {

constexpr float kInitialCentreHz = 41.205f;
constexpr float kDefaultTargetHz = 82.41f;
constexpr auto kRelaxed = std::memory_order_relaxed;

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
    m_fTargetFreq.store(kDefaultTargetHz, kRelaxed);
    m_Tuner.SetMeasured(0.0f);
    m_iTrackedBand = -1;
    m_iHoldCount = 0;
    std::fill(std::begin(m_afHoldAcc), std::end(m_afHoldAcc), 0.0f);
    std::fill(std::begin(m_afHeld), std::end(m_afHeld), 0.0f);
    BuildTunings();
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
        std::memcpy(m_szStringNote[iRow][j], g_szNoteName[aiNote[j] % 12], 3);
        m_iStringOctave[iRow][j] = aiNote[j] / 12;
    }
    std::strncpy(m_szTuningName[iRow], szName, sizeof(m_szTuningName[iRow]) - 1);
    m_szTuningName[iRow][sizeof(m_szTuningName[iRow]) - 1] = '\0';
    m_iNumTunings.store(iRow + 1, kRelaxed);
    return 1;
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
    const int iNumBands = std::min(m_pAnalyser->NumBands(), kMaxHeldBands);
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
    const int iNumBands = m_pAnalyser ? std::min(m_pAnalyser->NumBands(), kMaxHeldBands) : 0;
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
    return m_bOwnHold ? m_afHeld[iBand] : m_pAnalyser->HeldPeak(iBand);
}

int Tuner2::FindBand() const
{
    const int iNumBands = m_pAnalyser ? std::min(m_pAnalyser->NumBands(), kMaxHeldBands) : 0;
    float fLoudest = 0.0f;
    for (int b = 0; b < iNumBands; ++b)
        fLoudest = std::max(fLoudest, BandPeak(b));

    // The lowest band that sounds: above the fixed level, not buried under the
    // loudest band, and a peak of its own.
    int iBand = -1;
    for (int b = 0; b < iNumBands && iBand < 0; ++b)
    {
        const float h = BandPeak(b);
        if (h > kBandThreshold && h > kSoundingShare * fLoudest && IsPeak(b))
            iBand = b;
    }
    if (iBand < 0)
        return -1;

    // Wound strings and many pickups give a fundamental far weaker than its octave,
    // and it may fade first: a clear peak an octave below is the string itself.
    auto holds = [&](int b) { return b >= 0 && BandPeak(b) > kFundamentalShare * fLoudest && IsPeak(b); };
    // The lowest strings of the deepest tunings lie up to two semitones under the
    // bank; their octave below is the lowest band.
    const int iOctave = iBand - 12 >= -2 ? std::max(iBand - 12, 0) : -1;
    if (holds(iOctave))
        iBand = iOctave;
    // As a string fades its upper partials may outlast the lower ones; while the
    // band tracked so far still holds a clear peak, its octave, twelfth and double
    // octave are its own partials, not a new note.
    const int iRise = iBand - m_iTrackedBand;
    if ((iRise == 12 || iRise == 19 || iRise == 24) && holds(m_iTrackedBand))
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

CSampleBuffer* Tuner2::Process(const CSampleBuffer* pIn, int iOffset)
{
    HoldBandPeaks();
    const int iBand = FindBand();
    if (iBand >= 0)
    {
        m_fTrackingFreq.store(m_pAnalyser->BandFrequency(iBand), kRelaxed);
        // Periods measured around another note would spoil the new note's run, and
        // its reading no longer applies.
        if (std::abs(iBand - m_iTrackedBand) > 1)
        {
            m_Tuner.Restart();
            m_Tuner.SetMeasured(0.0f);
        }
        m_iTrackedBand = iBand;
    }

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
