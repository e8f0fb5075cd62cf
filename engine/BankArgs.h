#pragma once
// What the vector kernels of the two-stage band bank work on: plain pointers only,
// so that the files built for other instruction sets share no code with the rest.

struct BankArgs
{
    const float* pIn;        // the bank's input channel, g_iBufMonoLen samples
    float* const* ppOut0;    // per band: the first stage's output array
    float* const* ppOut1;    // per band: the second stage's output array
    // Per band: the coefficients as doubles (exact copies of the floats).
    const double* pB0;
    const double* pB1;
    const double* pB2;
    const double* pA1;
    const double* pA2;
    int iNumBands;
    int iOffset;
    int iBlockSize;
    int iLength;
};

// Each runs the bands in whole groups of four and returns how many it ran; the
// caller runs the rest band by band. The AVX one exists on x86_64 only and may be
// called only where the processor and system support AVX.
int RunBankSse2(const BankArgs& args);
int RunBankAvx(const BankArgs& args);
