#pragma once
// Second-order band-pass section with four designs (peak gain Q or 0 dB, from Q or
// from a bandwidth in octaves). Its recursion history lives in its own
// double-buffered output array.
#include "dsp/SampleBuffer.h"

class BpFilter
{
public:
    float m_fF0 = 1000.0f;  // centre frequency, Hz
    float m_fBW = 1.0f;     // bandwidth in octaves (types 2 and 4)
    float m_fQ = 1.0f;      // quality factor (types 1 and 3)
    int m_iType = 1;        // design type 1..4
    float m_fB0 = 0.0f, m_fB1 = 0.0f, m_fB2 = 0.0f, m_fA1 = 0.0f, m_fA2 = 0.0f;
    int m_iBlockSize = 0;
    int m_iLength = 0;
    int m_iReserved = 0;
    CSampleBuffer m_Output;

    BpFilter();

    int Init(int iLength, int iBlockSize);
    void Release();

    // Recomputes the coefficients from f0, BW, Q, type and g_fSamplingFreq.
    void Design();

    // Filters the block at offset of one channel array of g_iBufMonoLen samples.
    float* Process(const float* pIn, int iOffset);

    float* Output() const { return m_Output.Channel(0); }

    // Filters a block through iCount filters in cascade, each one's output array
    // feeding the next: the same results as calling Process on each in turn, but
    // with the stages a sample apart, so that their recursions overlap instead of
    // waiting on one another. Returns the last filter's output array.
    static float* ProcessCascade(const float* pIn, int iOffset, BpFilter* pFilters, int iCount);

    // Runs a bank: ppStages[k][b] is band b of stage k. Every stage of band b uses
    // the coefficients of ppStages[0][b]; each output sample gets 0.001 added.
    // Runs on the selected path (the fastest one unless SelectBankPath chose
    // another); every path gives the same outputs to the bit.
    // The vector paths keep of the first stage's block only its last two samples,
    // the history the next block needs; the last stage's arrays are complete.
    // With pPeakAcc and pSum (both or neither) it also raises each band's peak
    // accumulator to the band's largest last-stage output of the block
    // (accumulators must not be below +0) and writes to pSum at every sample of
    // the block the sum of all bands' last-stage outputs, band 0 first.
    static void ProcessBank(const float* pIn, int iOffset, BpFilter* const* ppStages, int iNumBands,
                            int iNumStages, float* pPeakAcc = nullptr, float* pSum = nullptr);

    // The bank band after band, stage after stage: the plain form of the
    // recursion, which the vector paths must match.
    static void ProcessBankPerBand(const float* pIn, int iOffset, BpFilter* const* ppStages, int iNumBands,
                                   int iNumStages);
};

// Ways of running the bank: band by band, or four bands side by side with SSE2
// or AVX instructions, or eight with AVX-512 (two-stage banks; other stage counts
// run band by band). PerBand also runs cascades filter after filter: the plain
// code throughout, which the other paths must match to the bit.
enum class BankPath
{
    PerBand,
    Sse2,
    Avx,
    Avx512,
};

// Whether this build and processor can run the path.
bool BankPathAvailable(BankPath path);
// The path ProcessBank takes from now on; false (and no change) if unavailable.
bool SelectBankPath(BankPath path);
BankPath SelectedBankPath();
// The fastest available path, selected at start.
BankPath FastestBankPath();
