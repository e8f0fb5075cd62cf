#pragma once
// What the vector kernels of the two-stage band bank work on: plain pointers only,
// so that the files built for other instruction sets share no code with the rest.

struct BankArgs
{
    const float* pIn;        // the bank's input channel, g_iBufMonoLen samples
    float* const* ppOut0;    // per band: the first stage's output array, or null
    float* const* ppOut1;    // per band: the second stage's output array, or null
    // Per band: the coefficients as doubles (exact copies of the floats).
    const double* pB0;
    const double* pB1;
    const double* pB2;
    const double* pA1;
    const double* pA2;
    // Optional (both or neither): per band the peak accumulator that the second
    // stage's outputs raise, and per sample of the block the sum (set to 0.0 by
    // the caller) to which they are added, band 0 first.
    float* pPeakAcc;
    float* pSum;
    int iNumBands;
    int iOffset;
    int iBlockSize;  // 2 or more
    int iLength;
    // Every band has b1 = 0 and b2 = -b0: the input terms may take the short form.
    bool bShortForm;
};

// Each runs the bands side by side; the band count must be a multiple of the
// path's width (4 for SSE2 and AVX, 8 for AVX-512): the caller pads with bands
// that have no arrays (null) and zero coefficients. AVX exists on every x86
// target, AVX-512 on x86_64 only; they may be called only where the processor
// and system support them.
// They return false if the short form met a value that is not finite: the block
// must then run again without it, from the state it started from.
bool RunBankSse2(const BankArgs& args);
bool RunBankAvx(const BankArgs& args);
bool RunBankAvx512(const BankArgs& args);
