#pragma once
// A bank of semitone-spaced bands, each two band-pass sections in cascade, that
// holds every band's largest output of the last three blocks. The string tracker
// reads these held peaks to find the lowest sounding note.
#include <atomic>

#include "dsp/BpFilter.h"
#include "dsp/SampleBuffer.h"

class Analyser
{
public:
    static constexpr int kMaxChannels = 2;
    static constexpr int kMaxStages = 2;

    int m_iNumChannels = 1;      // only the left channel is analysed
    int m_iNumBands = 60;        // set by start-up before the first Init
    int m_iNumStages = 2;
    std::atomic<int> m_iBandMode{1};  // 1 while the tuner is on, 2 while off
    int m_iSpacing = 1;
    BpFilter* m_pFilters[kMaxChannels][kMaxStages] = {};
    float* m_pPeakAcc[kMaxChannels] = {};
    float* m_pHeldPeak[kMaxChannels] = {};
    float m_fQ = 20.0f;
    int m_iBlockCount = 0;
    CSampleBuffer m_fOutput;

    int Init();
    void Release();

    // Re-tunes every band for the current band mode and clears the peaks. Must not
    // run while Process runs; from another thread use RequestRetune.
    void Retune();
    // Asks the audio thread to re-tune before its next block.
    void RequestRetune();

    CSampleBuffer* Process(const CSampleBuffer* pIn, int iOffset);

    // Readers for the string tracker (channel 0), valid after a successful Init.
    int NumBands() const { return m_iAllocatedBands; }
    float HeldPeak(int iBand) const { return m_pHeldPeak[0][iBand]; }
    float BandFrequency(int iBand) const { return m_pFilters[0][m_iNumStages - 1][iBand].m_fF0; }

private:
    void Layout(float fStart, float fBandwidth);

    int m_iAllocatedBands = 0;   // band count the arrays were made with
    std::atomic<int> m_bRetunePending{0};
};
