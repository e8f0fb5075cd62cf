#pragma once
// The two-stage band bank with several bands side by side in vector registers.
// Included by one file per instruction set, each with its own lane type; nothing
// here may be shared between those files, so it all has internal linkage.
//
// Every lane performs the float operations of the per-band recursion, in the
// same order and at the same (double) precision:
//   y = ((((b1*x1 + b2*x2) + b0*x0) + 0.001) - a1*y1) - a2*y2, stored as a float,
// or, where the coefficients allow, a shorter sum of the input terms that gives
// the same value to the bit (see RunBandGroups). Bands are independent, so
// running them side by side changes nothing but the schedule: the per-band
// chain waits on latency, the lanes fill the pipelines.
#include <emmintrin.h>

#include <cmath>

#include "dsp/BankArgs.h"

namespace {

// Running maxima of one group's last-stage outputs, per lane: four samples wide
// where the outputs are stored four by four, one wide elsewhere.
template <int kWidth>
struct GroupPeaks
{
    __m128 v[kWidth];
    float s[kWidth];
};

#if defined(__AVX__)
// StoreBands for eight bands that all have arrays, eight samples at a time
// through an 8 x 8 transposition (sixteen with AVX-512); returns the samples
// done (a multiple of 8). kPeaks: whether pPeaks and pSum are given.
template <bool kPeaks>
int StoreEightBands(const float (*run)[8], int iCount, float* const* out, int n, GroupPeaks<8>* pPeaks,
                    float* pSum)
{
    __m256 m[8];  // the maxima, eight samples wide
    int j = 0;
#if defined(__AVX512F__)
    // Sixteen samples at a time in three rounds of two-register permutations:
    // samples 4m..4m+3 of four bands, then 8p..8p+7 of two, then 0..15 of one.
    // idx[round][r]: element e of a result takes element idx of the pair
    // (the first register's 0..15, the second's 16..31).
    alignas(64) static const int kIdx[3][2][16] = {
        {{0, 1, 2, 3, 8, 9, 10, 11, 16, 17, 18, 19, 24, 25, 26, 27},
         {4, 5, 6, 7, 12, 13, 14, 15, 20, 21, 22, 23, 28, 29, 30, 31}},
        {{0, 1, 4, 5, 8, 9, 12, 13, 16, 17, 20, 21, 24, 25, 28, 29},
         {2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 22, 23, 26, 27, 30, 31}},
        {{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30},
         {1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31}}};
    __m512i idx[3][2];
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 2; ++r)
            idx[k][r] = _mm512_load_si512(kIdx[k][r]);
    __m512 m16[8];
    for (int b = 0; b < 8; ++b)
        m16[b] = kPeaks ? _mm512_maskz_broadcast_f32x4(0xFFFF, pPeaks->v[b]) : _mm512_setzero_ps();
    for (; j + 16 <= iCount; j += 16)
    {
        __m512 z[8], y[8], c[8];
        for (int k = 0; k < 8; ++k)
            z[k] = _mm512_loadu_ps(run[j + 2 * k]);
        for (int k = 0; k < 4; ++k)  // y[2k + h]: samples 4k.., bands 4h..
            for (int h = 0; h < 2; ++h)
                y[2 * k + h] = _mm512_permutex2var_ps(z[2 * k], idx[0][h], z[2 * k + 1]);
        for (int p2 = 0; p2 < 2; ++p2)  // z[4p + 2h + q]: samples 8p.., bands 4h + 2q..
            for (int h = 0; h < 2; ++h)
                for (int q = 0; q < 2; ++q)
                    z[4 * p2 + 2 * h + q] = _mm512_permutex2var_ps(y[4 * p2 + h], idx[1][q], y[4 * p2 + 2 + h]);
        for (int hq = 0; hq < 4; ++hq)  // c[2hq + r]: band 2hq + r
            for (int r = 0; r < 2; ++r)
                c[2 * hq + r] = _mm512_permutex2var_ps(z[hq], idx[2][r], z[4 + hq]);
        for (int b = 0; b < 8; ++b)
            _mm512_storeu_ps(out[b] + n + j, c[b]);
        if (kPeaks)
        {
            __m512 sum = _mm512_loadu_ps(pSum + n + j);
            for (int b = 0; b < 8; ++b)
            {
                m16[b] = _mm512_maskz_max_ps(0xFFFF, c[b], m16[b]);
                sum = _mm512_add_ps(sum, c[b]);
            }
            _mm512_storeu_ps(pSum + n + j, sum);
        }
    }
    // The masked forms (all lanes) give the same values; the plain ones trip a
    // false "uninitialized" warning in this compiler's headers.
    for (int b = 0; b < 8; ++b)
        m[b] = _mm256_max_ps(_mm256_castpd_ps(_mm512_maskz_extractf64x4_pd(0xFF, _mm512_castps_pd(m16[b]), 0)),
                             _mm256_castpd_ps(_mm512_maskz_extractf64x4_pd(0xFF, _mm512_castps_pd(m16[b]), 1)));
#else
    for (int b = 0; b < 8; ++b)
        m[b] = kPeaks ? _mm256_set_m128(pPeaks->v[b], pPeaks->v[b]) : _mm256_setzero_ps();
#endif
    const int iEights = iCount / 8 * 8;
    for (; j < iEights; j += 8)
    {
        __m256 r[8], t[8], c[8];
        for (int k = 0; k < 8; ++k)
            r[k] = _mm256_load_ps(run[j + k]);
        for (int k = 0; k < 8; k += 2)
        {
            t[k] = _mm256_unpacklo_ps(r[k], r[k + 1]);
            t[k + 1] = _mm256_unpackhi_ps(r[k], r[k + 1]);
        }
        for (int k = 0; k < 8; k += 4)
        {
            r[k] = _mm256_shuffle_ps(t[k], t[k + 2], 0x44);
            r[k + 1] = _mm256_shuffle_ps(t[k], t[k + 2], 0xEE);
            r[k + 2] = _mm256_shuffle_ps(t[k + 1], t[k + 3], 0x44);
            r[k + 3] = _mm256_shuffle_ps(t[k + 1], t[k + 3], 0xEE);
        }
        for (int k = 0; k < 4; ++k)
        {
            c[k] = _mm256_permute2f128_ps(r[k], r[k + 4], 0x20);
            c[k + 4] = _mm256_permute2f128_ps(r[k], r[k + 4], 0x31);
        }
        for (int b = 0; b < 8; ++b)
            _mm256_storeu_ps(out[b] + n + j, c[b]);
        if (kPeaks)
        {
            __m256 sum = _mm256_loadu_ps(pSum + n + j);
            for (int b = 0; b < 8; ++b)
            {
                m[b] = _mm256_max_ps(c[b], m[b]);  // "x > m ? x : m", as the plain loop compares
                sum = _mm256_add_ps(sum, c[b]);
            }
            _mm256_storeu_ps(pSum + n + j, sum);
        }
    }
    if (kPeaks)
        for (int b = 0; b < 8; ++b)
            pPeaks->v[b] = _mm_max_ps(_mm256_castps256_ps128(m[b]), _mm256_extractf128_ps(m[b], 1));
    return iEights;
}
#endif

// Writes iCount samples of kWidth bands, stored sample by sample in run, into
// the bands' own arrays from index n on, four bands by four samples at a time.
// Lanes without an array (padding after the last band) are dropped. With pPeaks,
// the samples also raise the lanes' maxima and are added to pSum[n...], lane 0
// first, so that each sample's sum is formed band after band.
template <int kWidth>
void StoreBands(const float (*run)[kWidth], int iCount, float* const* out, int n, GroupPeaks<kWidth>* pPeaks,
                float* pSum)
{
    int iLanes = 0;  // lanes with arrays
    while (iLanes < kWidth && out[iLanes])
        ++iLanes;
    const int iWhole = iLanes / 4 * 4;  // of them in whole fours
#if defined(__AVX__)
    if constexpr (kWidth == 8)
        if (iWhole == 8)
    {
        const auto* run8 = reinterpret_cast<const float(*)[8]>(run);
        auto* pPeaks8 = reinterpret_cast<GroupPeaks<8>*>(pPeaks);
        const int iDone = pPeaks ? StoreEightBands<true>(run8, iCount, out, n, pPeaks8, pSum)
                                 : StoreEightBands<false>(run8, iCount, out, n, pPeaks8, pSum);
        run += iDone;
        n += iDone;
        iCount -= iDone;
    }
#endif
    const int iQuads = iCount / 4 * 4;
    // Four bands at a time over all samples; each sample's sum still takes the
    // bands in order, as the fours come in order.
    for (int h = 0; h < iWhole; h += 4)
    {
        float* o0 = out[h] + n;
        float* o1 = out[h + 1] + n;
        float* o2 = out[h + 2] + n;
        float* o3 = out[h + 3] + n;
        __m128 v0 = _mm_setzero_ps(), v1 = v0, v2 = v0, v3 = v0;
        if (pPeaks)
        {
            v0 = pPeaks->v[h];
            v1 = pPeaks->v[h + 1];
            v2 = pPeaks->v[h + 2];
            v3 = pPeaks->v[h + 3];
        }
        for (int j = 0; j < iQuads; j += 4)
        {
            __m128 p0 = _mm_load_ps(run[j] + h), p1 = _mm_load_ps(run[j + 1] + h);
            __m128 p2 = _mm_load_ps(run[j + 2] + h), p3 = _mm_load_ps(run[j + 3] + h);
            _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
            _mm_storeu_ps(o0 + j, p0);
            _mm_storeu_ps(o1 + j, p1);
            _mm_storeu_ps(o2 + j, p2);
            _mm_storeu_ps(o3 + j, p3);
            if (pPeaks)
            {
                // MAXPS(x, m) is "x > m ? x : m", the comparison of the plain loop.
                v0 = _mm_max_ps(p0, v0);
                v1 = _mm_max_ps(p1, v1);
                v2 = _mm_max_ps(p2, v2);
                v3 = _mm_max_ps(p3, v3);
                float* ps = pSum + n + j;
                __m128 sum = _mm_loadu_ps(ps);
                sum = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(sum, p0), p1), p2), p3);
                _mm_storeu_ps(ps, sum);
            }
        }
        if (pPeaks)
        {
            pPeaks->v[h] = v0;
            pPeaks->v[h + 1] = v1;
            pPeaks->v[h + 2] = v2;
            pPeaks->v[h + 3] = v3;
        }
    }
    auto store = [&](int i, int k) {
        const float x = run[k][i];
        out[i][n + k] = x;
        if (pPeaks)
        {
            if (x > pPeaks->s[i])
                pPeaks->s[i] = x;
            pSum[n + k] += x;
        }
    };
    for (int k = 0; k < iQuads; ++k)
        for (int i = iWhole; i < iLanes; ++i)
            store(i, k);
    for (int k = iQuads; k < iCount; ++k)
        for (int i = 0; i < iLanes; ++i)
            store(i, k);
}

// The loops of the short form (see RunBandGroups), each a function of its own
// so that the recursions' history stays in registers. n is at most kRun.
constexpr int kRun = 32;

// A stage's last two outputs per group, copied in for one loop (locals the
// compiler keeps in registers) and back after it.
template <class Lanes, int kGroups>
struct LoopHistory
{
    using Q = typename Lanes::Q;
    Q r1[kGroups], r2[kGroups];
    LoopHistory(const Q* y1, const Q* y2)
    {
        for (int g = 0; g < kGroups; ++g)
        {
            r1[g] = y1[g];
            r2[g] = y2[g];
        }
    }
    void Save(Q* y1, Q* y2) const
    {
        for (int g = 0; g < kGroups; ++g)
        {
            y1[g] = r1[g];
            y2[g] = r2[g];
        }
    }
};

// The first stage's recursion over x[0..n), whose two samples before are
// x[-2] and x[-1]; q[j] = b0 times output j. The input terms are formed as
// (b0*x[j] - b0*x[j-2]) + 0.001: the products are cheaper to form again than
// to keep, as the recursion leaves the arithmetic units idle.
template <class Lanes, int kGroups>
__attribute__((noinline)) void ShortFirstStage(const float* x, int n, const typename Lanes::Q* b0,
                                               const typename Lanes::Q* a1, const typename Lanes::Q* a2,
                                               typename Lanes::Q k001, typename Lanes::Q* y1, typename Lanes::Q* y2,
                                               typename Lanes::Q (*q)[kGroups])
{
    using Q = typename Lanes::Q;
    LoopHistory<Lanes, kGroups> h(y1, y2);
    for (int j = 0; j < n; ++j)
    {
        const Q x0 = Lanes::Broadcast(x[j]);
        const Q x2 = Lanes::Broadcast(x[j - 2]);
        for (int g = 0; g < kGroups; ++g)
        {
            const Q s = Lanes::Add(Lanes::Sub(Lanes::Mul(b0[g], x0), Lanes::Mul(b0[g], x2)), k001);
            const Q t = Lanes::Sub(Lanes::Sub(s, Lanes::Mul(a1[g], h.r1[g])), Lanes::Mul(a2[g], h.r2[g]));
            h.r2[g] = h.r1[g];
            h.r1[g] = Lanes::Round(t);
            q[j][g] = Lanes::Mul(b0[g], h.r1[g]);
        }
    }
    h.Save(y1, y2);
}

// The second stage over q (b0 times the first stage's outputs, from two samples
// before the run); its outputs as floats into run.
template <class Lanes, int kGroups, int W = Lanes::kWidth>
__attribute__((noinline)) void ShortSecondStage(const typename Lanes::Q (*q)[kGroups], int n,
                                                const typename Lanes::Q* a1, const typename Lanes::Q* a2,
                                                typename Lanes::Q k001, typename Lanes::Q* y1, typename Lanes::Q* y2,
                                                float (*run)[kRun][W])
{
    using Q = typename Lanes::Q;
    LoopHistory<Lanes, kGroups> h(y1, y2);
    for (int j = 0; j < n; ++j)
        for (int g = 0; g < kGroups; ++g)
        {
            Q u = Lanes::Add(Lanes::Sub(q[j + 2][g], q[j][g]), k001);
            u = Lanes::Sub(Lanes::Sub(u, Lanes::Mul(a1[g], h.r1[g])), Lanes::Mul(a2[g], h.r2[g]));
            h.r2[g] = h.r1[g];
            h.r1[g] = Lanes::RoundStore(run[g][j], u);
        }
    h.Save(y1, y2);
}

// Carries out the recursion for kGroups groups of Lanes::kWidth neighbouring
// bands from band iFirst on (padding lanes have no arrays and zero coefficients).
// Lanes provides the type Q of kWidth doubles, its arithmetic, conversions to
// and from a register of kWidth floats, and rounding through floats (Round,
// RoundStore).
//
// kShort takes the sum of the input terms in fewer operations, for banks whose
// bands all have b1 = 0 and b2 = -b0 (as every design gives). Then b1*x1 is a
// zero and b2*x2 = -(b0*x2), each product of two floats being exact in double;
// so for finite values ((b1*x1 + b2*x2) + b0*x0) + 0.001 equals
// (b0*x0 - b0*x2) + 0.001 to the bit (a zero added to a sum changes it only in
// the sign of a zero, and adding 0.001 to a zero of either sign gives 0.001),
// and b0*x2 is the b0*x0 of two samples before. With non-finite values the two
// can differ; a non-finite value, once in a recursion, stays in it (a1*y and
// a2*y are formed whatever a1 and a2 are), so the short form reports whether
// the last outputs of both stages are finite, and the caller runs the block
// again in the plain form if they are not.
template <class Lanes, int kGroups, bool kShort>
bool RunBandGroups(const BankArgs& a, int iFirst)
{
    using Q = typename Lanes::Q;
    constexpr int W = Lanes::kWidth;
    const int iLen = a.iLength;
    const int iPrev1 = a.iOffset - 1 < 0 ? a.iOffset - 1 + iLen : a.iOffset - 1;
    const int iPrev2 = a.iOffset - 2 < 0 ? a.iOffset - 2 + iLen : a.iOffset - 2;

    Q b0[kGroups], b1[kGroups], b2[kGroups], a1[kGroups], a2[kGroups];
    Q y01[kGroups], y02[kGroups], y11[kGroups], y12[kGroups];  // stage 0 and 1 history
    float* const* out0 = a.ppOut0 + iFirst;
    float* const* out1 = a.ppOut1 + iFirst;
    for (int g = 0; g < kGroups; ++g)
    {
        const int i = iFirst + W * g;
        b0[g] = Lanes::Load(a.pB0 + i);
        b1[g] = Lanes::Load(a.pB1 + i);
        b2[g] = Lanes::Load(a.pB2 + i);
        a1[g] = Lanes::Load(a.pA1 + i);
        a2[g] = Lanes::Load(a.pA2 + i);
        alignas(32) float h[4][W];
        for (int l = 0; l < W; ++l)
        {
            const float* p0 = out0[W * g + l];
            const float* p1 = out1[W * g + l];
            h[0][l] = p0 ? p0[iPrev1] : 0.0f;
            h[1][l] = p0 ? p0[iPrev2] : 0.0f;
            h[2][l] = p1 ? p1[iPrev1] : 0.0f;
            h[3][l] = p1 ? p1[iPrev2] : 0.0f;
        }
        y01[g] = Lanes::FromFloats(Lanes::LoadF(h[0]));
        y02[g] = Lanes::FromFloats(Lanes::LoadF(h[1]));
        y11[g] = Lanes::FromFloats(Lanes::LoadF(h[2]));
        y12[g] = Lanes::FromFloats(Lanes::LoadF(h[3]));
    }
    // The last stage's maxima start from the accumulators (never below +0, so
    // their maximum does not depend on the order in which it is taken).
    GroupPeaks<W> peaks[kGroups];
    GroupPeaks<W>* pPeaks = a.pPeakAcc ? peaks : nullptr;
    if (pPeaks)
        for (int g = 0; g < kGroups; ++g)
            for (int l = 0; l < W; ++l)
            {
                const float acc = out1[W * g + l] ? a.pPeakAcc[iFirst + W * g + l] : 0.0f;
                peaks[g].v[l] = _mm_set1_ps(acc);
                peaks[g].s[l] = acc;
            }
    const Q k001 = Lanes::Broadcast(0.001);

    // The second stage's outputs, kWidth bands per sample, collect in a short run
    // of samples and are then turned into runs of samples per band. The first
    // stage's outputs reach the second stage without being stored; its arrays
    // get only the last two samples, the history the next block starts from.
    alignas(32) float run1[kGroups][kRun][W];
    const int iEnd = a.iOffset + a.iBlockSize;
    if (kShort)
    {
        // Per run: the first stage (handing on b0 times each output), then the
        // second, whose input terms come from what the first handed on. Each
        // loop keeps kGroups independent recursions in flight and little else
        // in registers. The first stage reads two samples before each run: the
        // block's two predecessors wrap to the end of the array.
        alignas(64) Q q[kRun + 2][kGroups];  // from two samples before the run
        for (int g = 0; g < kGroups; ++g)
        {
            q[0][g] = Lanes::Mul(b0[g], y02[g]);
            q[1][g] = Lanes::Mul(b0[g], y01[g]);
        }
        for (int iStart = a.iOffset; iStart < iEnd; iStart += kRun)
        {
            const int iCount = iEnd - iStart < kRun ? iEnd - iStart : kRun;
            const float* x = a.pIn + iStart;
            float xHead[kRun + 2];
            if (iStart == a.iOffset)
            {
                xHead[0] = a.pIn[iPrev2];
                xHead[1] = a.pIn[iPrev1];
                for (int j = 0; j < iCount; ++j)
                    xHead[j + 2] = x[j];
                x = xHead + 2;
            }
            ShortFirstStage<Lanes, kGroups>(x, iCount, b0, a1, a2, k001, y01, y02, q + 2);
            ShortSecondStage<Lanes, kGroups>(q, iCount, a1, a2, k001, y11, y12, run1);
            for (int g = 0; g < kGroups; ++g)
            {
                q[0][g] = q[iCount][g];
                q[1][g] = q[iCount + 1][g];
                StoreBands<W>(run1[g], iCount, out1 + W * g, iStart, pPeaks ? pPeaks + g : nullptr, a.pSum);
            }
        }
    }
    else
    {
        Q x1 = Lanes::Broadcast(a.pIn[iPrev1]);
        Q x2 = Lanes::Broadcast(a.pIn[iPrev2]);
        for (int iStart = a.iOffset; iStart < iEnd; iStart += kRun)
        {
            const int iCount = iEnd - iStart < kRun ? iEnd - iStart : kRun;
            for (int j = 0; j < iCount; ++j)
            {
                const Q x0 = Lanes::Broadcast(a.pIn[iStart + j]);
                for (int g = 0; g < kGroups; ++g)
                {
                    Q t = Lanes::Add(Lanes::Mul(b1[g], x1), Lanes::Mul(b2[g], x2));
                    t = Lanes::Add(Lanes::Add(t, Lanes::Mul(b0[g], x0)), k001);
                    t = Lanes::Sub(Lanes::Sub(t, Lanes::Mul(a1[g], y01[g])), Lanes::Mul(a2[g], y02[g]));
                    const Q v0 = Lanes::FromFloats(Lanes::ToFloats(t));
                    // The second stage filters the first one's output with the same coefficients.
                    Q u = Lanes::Add(Lanes::Mul(b1[g], y01[g]), Lanes::Mul(b2[g], y02[g]));
                    u = Lanes::Add(Lanes::Add(u, Lanes::Mul(b0[g], v0)), k001);
                    u = Lanes::Sub(Lanes::Sub(u, Lanes::Mul(a1[g], y11[g])), Lanes::Mul(a2[g], y12[g]));
                    const auto f1 = Lanes::ToFloats(u);
                    Lanes::StoreF(run1[g][j], f1);
                    y02[g] = y01[g];
                    y01[g] = v0;
                    y12[g] = y11[g];
                    y11[g] = Lanes::FromFloats(f1);
                }
                x2 = x1;
                x1 = x0;
            }
            for (int g = 0; g < kGroups; ++g)
                StoreBands<W>(run1[g], iCount, out1 + W * g, iStart, pPeaks ? pPeaks + g : nullptr, a.pSum);
        }
    }
    // The doubles of the history hold floats exactly.
    bool bFinite = true;
    for (int g = 0; g < kGroups; ++g)
    {
        alignas(32) float h1[W], h2[W];
        Lanes::StoreF(h1, Lanes::ToFloats(y01[g]));
        Lanes::StoreF(h2, Lanes::ToFloats(y02[g]));
        for (int l = 0; l < W; ++l)
            if (float* p = out0[W * g + l])
            {
                p[iEnd - 2] = h2[l];
                p[iEnd - 1] = h1[l];
                bFinite = bFinite && (!kShort || (std::isfinite(h1[l]) && std::isfinite(out1[W * g + l][iEnd - 1])));
            }
    }
    if (pPeaks)
        for (int g = 0; g < kGroups; ++g)
            for (int l = 0; l < W; ++l)
            {
                if (!out1[W * g + l])
                    continue;
                float m = peaks[g].s[l];
                alignas(16) float v[4];
                _mm_store_ps(v, peaks[g].v[l]);
                for (float x : v)
                    if (x > m)
                        m = x;
                a.pPeakAcc[iFirst + W * g + l] = m;
            }
    return bFinite;
}

// RunBandGroups for n (1, 2, 4, or 8 in the short form) groups.
template <class Lanes, bool kShort>
bool RunGroups(int n, const BankArgs& a, int iFirst)
{
    if constexpr (kShort)
        if (n == 8)
            return RunBandGroups<Lanes, 8, true>(a, iFirst);
    switch (n)
    {
    case 1: return RunBandGroups<Lanes, 1, kShort>(a, iFirst);
    case 2: return RunBandGroups<Lanes, 2, kShort>(a, iFirst);
    default: return RunBandGroups<Lanes, 4, kShort>(a, iFirst);
    }
}

// Runs all a.iNumBands bands (a multiple of Lanes::kWidth) in as few passes
// over the block as the group limit allows: many independent groups side by side
// keep the pipelines busy while each group waits on its own recursion. The short
// form's loops hold less per group, so they take more groups at once. Returns
// false if the short form met a non-finite value (see RunBandGroups).
template <class Lanes>
bool RunBank(const BankArgs& a)
{
    const int iGroups = a.iNumBands / Lanes::kWidth;
    const int iLimit = a.bShortForm ? Lanes::kShortGroups : 4;
    bool bFinite = true;
    for (int g = 0; g < iGroups;)
    {
        const int iLeft = iGroups - g;
        const int n = iLeft >= 8 && iLimit >= 8 ? 8 : iLeft >= 4 && iLimit >= 4 ? 4 : iLeft >= 2 ? 2 : 1;
        const int iFirst = g * Lanes::kWidth;
        const bool bGroupsFinite = a.bShortForm ? RunGroups<Lanes, true>(n, a, iFirst)
                                                : RunGroups<Lanes, false>(n, a, iFirst);
        bFinite = bGroupsFinite && bFinite;
        g += n;
    }
    return bFinite;
}

} // namespace
