#include "dsp/BpFilter.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "dsp/BankArgs.h"
#include "dsp/DspMath.h"
#include "dsp/StreamParams.h"

BpFilter::BpFilter()
{
    Design();
}

int BpFilter::Init(int iLength, int iBlockSize)
{
    m_iLength = iLength;
    m_iBlockSize = iBlockSize;
    return m_Output.InitChannels("BpFilter", 1, iLength, iBlockSize);
}

void BpFilter::Release()
{
    m_Output.Release("BpFilter", "m_Output");
}

void BpFilter::Design()
{
    if (m_iType < 1 || m_iType > 4)
        return;
    const float w0 = TWO_PI * m_fF0 / g_fSamplingFreq;
    double s = std::sin(static_cast<double>(w0));
    const double c = std::cos(static_cast<double>(w0));
    double alpha;
    if (m_iType == 1 || m_iType == 3)
    {
        alpha = s / (2.0 * m_fQ);
    }
    else
    {
        s = static_cast<float>(s);
        const double ln2 = std::log(2.0) * std::log2(2.0);
        alpha = s * std::sinh(ln2 / 2.0 * m_fBW * w0 / s);
    }
    const double a0 = 1.0 + alpha;
    double b0;
    switch (m_iType)
    {
    case 1: b0 = m_fQ * alpha / a0; break;
    case 2: b0 = (s / 2.0) / a0; break;
    default: b0 = alpha / a0; break;
    }
    m_fB0 = static_cast<float>(b0);
    m_fB1 = 0.0f;
    m_fB2 = static_cast<float>(-b0);
    m_fA1 = static_cast<float>(-2.0 * c / a0);
    m_fA2 = static_cast<float>((1.0 - alpha) / a0);
}

namespace {

// One biquad pass over a block. The history (x[n-1], x[n-2], y[n-1], y[n-2]) is
// read from the other half of the double-buffered arrays at the block start and
// then carried in registers; y is carried as the float that was stored, so the
// result equals the sample-by-sample recursion over the wrapped arrays.
// The bank adds 0.001 to every output and sums in another order than a single
// filter; both are kept as they are, since the bank's silent floor depends on it.
template <bool kBank>
void RunBiquad(const float* x, float* y, int iOffset, int iBlockSize, int iLength, float b0, float b1,
               float b2, float a1, float a2)
{
    float x1 = x[WrapIndex(iOffset - 1, iLength)];
    float x2 = x[WrapIndex(iOffset - 2, iLength)];
    float y1 = y[WrapIndex(iOffset - 1, iLength)];
    float y2 = y[WrapIndex(iOffset - 2, iLength)];
    const double db0 = b0, db1 = b1, db2 = b2, da1 = a1, da2 = a2;
    const int iEnd = iOffset + iBlockSize;
    for (int n = iOffset; n < iEnd; ++n)
    {
        const float x0 = x[n];
        double acc;
        if (kBank)
            acc = db1 * x1 + db2 * x2 + db0 * x0 + 0.001 - da1 * y1 - da2 * y2;
        else
            acc = db0 * x0 + db1 * x1 + db2 * x2 - da1 * y1 - da2 * y2;
        const float y0 = static_cast<float>(acc);
        y[n] = y0;
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y0;
    }
}

} // namespace

float* BpFilter::Process(const float* pIn, int iOffset)
{
    float* y = m_Output.Channel(0);
    RunBiquad<false>(pIn, y, iOffset, g_iBlockSize, g_iBufMonoLen, m_fB0, m_fB1, m_fB2, m_fA1, m_fA2);
    return y;
}

namespace {

// kStages single filters in cascade, stage k working on sample n - k while stage
// 0 works on sample n. Each stage reads its input from the previous stage's array,
// where that sample was stored one step earlier, and forms the same sum as
// RunBiquad<false> from the same floats.
template <int kStages>
void RunCascade(const float* pIn, BpFilter* f, int iOffset, int iBlockSize, int iLength)
{
    const float* in[kStages];
    float* out[kStages];
    double b0[kStages], b1[kStages], b2[kStages], a1[kStages], a2[kStages];
    float x1[kStages], x2[kStages], y1[kStages], y2[kStages];
    for (int k = 0; k < kStages; ++k)
    {
        out[k] = f[k].Output();
        in[k] = k == 0 ? pIn : out[k - 1];
        b0[k] = f[k].m_fB0;
        b1[k] = f[k].m_fB1;
        b2[k] = f[k].m_fB2;
        a1[k] = f[k].m_fA1;
        a2[k] = f[k].m_fA2;
        x1[k] = in[k][WrapIndex(iOffset - 1, iLength)];
        x2[k] = in[k][WrapIndex(iOffset - 2, iLength)];
        y1[k] = out[k][WrapIndex(iOffset - 1, iLength)];
        y2[k] = out[k][WrapIndex(iOffset - 2, iLength)];
    }
    const int iEnd = iOffset + iBlockSize;
    for (int n = iOffset; n < iEnd + kStages - 1; ++n)
    {
        // Stage k reads what stage k - 1 stored a step ago.
        for (int k = kStages - 1; k >= 0; --k)
        {
            const int m = n - k;
            if (m < iOffset || m >= iEnd)
                continue;
            const float x0 = in[k][m];
            const double acc = b0[k] * x0 + b1[k] * x1[k] + b2[k] * x2[k] - a1[k] * y1[k] - a2[k] * y2[k];
            const float y0 = static_cast<float>(acc);
            out[k][m] = y0;
            x2[k] = x1[k];
            x1[k] = x0;
            y2[k] = y1[k];
            y1[k] = y0;
        }
    }
}

} // namespace

float* BpFilter::ProcessCascade(const float* pIn, int iOffset, BpFilter* pFilters, int iCount)
{
    // In one-sample blocks a sample's second predecessor wraps onto the block
    // itself, which the plain code reads after the previous filter has written it;
    // those run filter after filter.
    if (iCount == 4 && g_iBlockSize >= 2 && SelectedBankPath() != BankPath::PerBand)
    {
        RunCascade<4>(pIn, pFilters, iOffset, g_iBlockSize, g_iBufMonoLen);
        return pFilters[3].Output();
    }
    const float* x = pIn;
    float* y = nullptr;
    for (int k = 0; k < iCount; ++k)
        x = y = pFilters[k].Process(x, iOffset);
    return y;
}

void BpFilter::ProcessBankPerBand(const float* pIn, int iOffset, BpFilter* const* ppStages, int iNumBands,
                                  int iNumStages)
{
    for (int b = 0; b < iNumBands; ++b)
    {
        const BpFilter& d = ppStages[0][b];
        const float* x = pIn;
        for (int k = 0; k < iNumStages; ++k)
        {
            float* y = ppStages[k][b].Output();
            RunBiquad<true>(x, y, iOffset, g_iBlockSize, g_iBufMonoLen, d.m_fB0, d.m_fB1, d.m_fB2, d.m_fA1,
                            d.m_fA2);
            x = y;
        }
    }
}

namespace {

// The checks include that the system saves the wider registers.
bool CpuHasAvx()
{
#if defined(TQ_BANK_AVX) && defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
#else
    return false;
#endif
}

bool CpuHasAvx512()
{
#if defined(TQ_BANK_AVX512) && defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
#else
    return false;
#endif
}

std::atomic<int>& BankPathWord()
{
    static std::atomic<int> s_iPath{static_cast<int>(FastestBankPath())};
    return s_iPath;
}

} // namespace

bool BankPathAvailable(BankPath path)
{
    switch (path)
    {
    case BankPath::PerBand: return true;
#if defined(__SSE2__)
    case BankPath::Sse2: return true;
#endif
    case BankPath::Avx:
    {
        static const bool s_bAvx = CpuHasAvx();
        return s_bAvx;
    }
    case BankPath::Avx512:
    {
        static const bool s_bAvx512 = CpuHasAvx512();
        return s_bAvx512;
    }
    default: return false;
    }
}

BankPath FastestBankPath()
{
    if (BankPathAvailable(BankPath::Avx512))
        return BankPath::Avx512;
    if (BankPathAvailable(BankPath::Avx))
        return BankPath::Avx;
    if (BankPathAvailable(BankPath::Sse2))
        return BankPath::Sse2;
    return BankPath::PerBand;
}

bool SelectBankPath(BankPath path)
{
    if (!BankPathAvailable(path))
        return false;
    BankPathWord().store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

BankPath SelectedBankPath()
{
    return static_cast<BankPath>(BankPathWord().load(std::memory_order_relaxed));
}

namespace {

// Band by band rather than sample by sample: the same float sums in the same order
// (band 0 first), with contiguous memory access.
void PeaksAndSum(const BpFilter* bands, int iNumBands, float* acc, float* sum, int iOffset, int iEnd)
{
    for (int n = iOffset; n < iEnd; ++n)
        sum[n] = 0.0f;
    for (int b = 0; b < iNumBands; ++b)
    {
        const float* v = bands[b].Output();
        float a = acc[b];
        for (int n = iOffset; n < iEnd; ++n)
        {
            if (v[n] > a)
                a = v[n];
            sum[n] += v[n];
        }
        acc[b] = a;
    }
}

} // namespace

void BpFilter::ProcessBank(const float* pIn, int iOffset, BpFilter* const* ppStages, int iNumBands,
                           int iNumStages, float* pPeakAcc, float* pSum)
{
    const BankPath path = SelectedBankPath();
    const int iEnd = iOffset + g_iBlockSize;
    // In one-sample blocks a sample's second predecessor wraps onto the block
    // itself, which the plain code reads after the first stage has written it:
    // only the plain code gives that.
    if (path == BankPath::PerBand || iNumStages != 2 || g_iBlockSize < 2)
    {
        ProcessBankPerBand(pIn, iOffset, ppStages, iNumBands, iNumStages);
        if (pPeakAcc && pSum)
            PeaksAndSum(ppStages[iNumStages - 1], iNumBands, pPeakAcc, pSum, iOffset, iEnd);
        return;
    }
    const bool bFold = pPeakAcc && pSum;
    // The short form of the input terms needs b1 = 0 and b2 = -b0 in every band
    // (as every design gives), and room here for the peak accumulators the block
    // starts from, in case it must run again in the plain form. The history it
    // starts from lies in the other half of the arrays, which the block leaves
    // alone, and the sum starts from zero.
    constexpr int kMaxShort = 256;
    bool bShort = iNumBands <= kMaxShort;
    for (int b = 0; bShort && b < iNumBands; ++b)
    {
        const BpFilter& d = ppStages[0][b];
        bShort = d.m_fB1 == 0.0f && d.m_fB2 == -d.m_fB0;
    }
    float savedPeaks[kMaxShort];
    if (bShort && bFold)
        std::copy(pPeakAcc, pPeakAcc + iNumBands, savedPeaks);
    // The kernels take plain arrays: the coefficients widened to double (exactly,
    // as the recursion widens them) and the output arrays, in chunks of bands,
    // padded to the path's width with bands that have no arrays.
    auto run = [&](bool bShortForm) {
        if (bFold)
            for (int n = iOffset; n < iEnd; ++n)
                pSum[n] = 0.0f;
        constexpr int kChunk = 64;
        const int iWidth = path == BankPath::Avx512 ? 8 : 4;
        double coef[5][kChunk];
        float* out[2][kChunk];
        bool bFinite = true;
        for (int iFirst = 0; iFirst < iNumBands; iFirst += kChunk)
        {
            const int iCount = iNumBands - iFirst < kChunk ? iNumBands - iFirst : kChunk;
            const int iPadded = (iCount + iWidth - 1) / iWidth * iWidth;
            for (int i = 0; i < iPadded; ++i)
            {
                const BpFilter* d = i < iCount ? &ppStages[0][iFirst + i] : nullptr;
                coef[0][i] = d ? d->m_fB0 : 0.0;
                coef[1][i] = d ? d->m_fB1 : 0.0;
                coef[2][i] = d ? d->m_fB2 : 0.0;
                coef[3][i] = d ? d->m_fA1 : 0.0;
                coef[4][i] = d ? d->m_fA2 : 0.0;
                out[0][i] = d ? ppStages[0][iFirst + i].Output() : nullptr;
                out[1][i] = d ? ppStages[1][iFirst + i].Output() : nullptr;
            }
            const BankArgs args{pIn,     out[0],  out[1],  coef[0],   coef[1],
                                coef[2], coef[3], coef[4], bFold ? pPeakAcc + iFirst : nullptr,
                                bFold ? pSum : nullptr,    iPadded, iOffset,   g_iBlockSize,
                                g_iBufMonoLen,             bShortForm};
#if defined(TQ_BANK_AVX512)
            if (path == BankPath::Avx512)
                bFinite = RunBankAvx512(args) && bFinite;
#endif
#if defined(TQ_BANK_AVX)
            if (path == BankPath::Avx)
                bFinite = RunBankAvx(args) && bFinite;
#endif
#if defined(__SSE2__)
            if (path == BankPath::Sse2)
                bFinite = RunBankSse2(args) && bFinite;
#endif
        }
        return bFinite;
    };
    if (run(bShort) || !bShort)
        return;
    // A value that is not finite: the block again in the plain form.
    if (bFold)
        std::copy(savedPeaks, savedPeaks + iNumBands, pPeakAcc);
    run(false);
}
