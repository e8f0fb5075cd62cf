#pragma once
// The two-stage band bank with several bands side by side in vector registers.
// Included by one file per instruction set, each with its own lane type; nothing
// here may be shared between those files, so it all has internal linkage.
//
// Every lane performs exactly the float operations of the per-band recursion, in
// the same order and at the same (double) precision:
//   y = ((((b1*x1 + b2*x2) + b0*x0) + 0.001) - a1*y1) - a2*y2, stored as a float.
// Bands are independent, so running them side by side changes nothing but the
// schedule: the per-band chain waits on latency, the lanes fill the pipelines.
#include <emmintrin.h>

#include "engine/BankArgs.h"

namespace {

// Running maxima of one group's last-stage outputs, per lane: four samples wide
// where the outputs are stored four by four, one wide elsewhere.
template <int kWidth>
struct GroupPeaks
{
    __m128 v[kWidth];
    float s[kWidth];
};

// Writes iCount samples of kWidth bands, stored sample by sample in run, into
// the bands' own arrays from index n on, four bands by four samples at a time.
// Lanes without an array (padding beyond the last band) are dropped. With pPeaks,
// the samples also raise the lanes' maxima and are added to pSum[n...], lane 0
// first, so that each sample's sum is formed band after band.
template <int kWidth>
void StoreBands(const float (*run)[kWidth], int iCount, float* const* out, int n, GroupPeaks<kWidth>* pPeaks,
                float* pSum)
{
    int iWhole = 0;  // lanes in whole fours with arrays
    while (iWhole < kWidth && out[iWhole] && out[iWhole | 3])
        iWhole += 4;
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
    if (iWhole < kWidth)
        for (int k = 0; k < iQuads; ++k)
            for (int i = iWhole; i < kWidth; ++i)
                if (out[i])
                    store(i, k);
    for (int k = iQuads; k < iCount; ++k)
        for (int i = 0; i < kWidth; ++i)
            if (out[i])
                store(i, k);
}

// Carries out the recursion for kGroups groups of Lanes::kWidth neighbouring
// bands from band iFirst on (padding lanes have no arrays and zero coefficients).
// Lanes provides the type Q of kWidth doubles, its arithmetic, and conversions
// to and from a register of kWidth floats.
template <class Lanes, int kGroups>
void RunBandGroups(const BankArgs& a, int iFirst)
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
    Q x1 = Lanes::Broadcast(a.pIn[iPrev1]);
    Q x2 = Lanes::Broadcast(a.pIn[iPrev2]);

    // The second stage's outputs, kWidth bands per sample, collect in a short run
    // of samples and are then turned into runs of samples per band. The first
    // stage's outputs reach the second stage in registers; its arrays get only
    // the last two samples, the history the next block starts from.
    constexpr int kRun = 64;
    alignas(32) float run1[kGroups][kRun][W];
    const int iEnd = a.iOffset + a.iBlockSize;
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
    // The doubles of the history hold floats exactly.
    const int iLast1 = iEnd - 1;
    const int iLast2 = iEnd - 2;
    for (int g = 0; g < kGroups; ++g)
    {
        alignas(32) float h1[W], h2[W];
        Lanes::StoreF(h1, Lanes::ToFloats(y01[g]));
        Lanes::StoreF(h2, Lanes::ToFloats(y02[g]));
        for (int l = 0; l < W; ++l)
            if (float* p = out0[W * g + l])
            {
                p[iLast2] = h2[l];
                p[iLast1] = h1[l];
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
}

// Runs all a.iNumBands bands (a multiple of Lanes::kWidth) in as few passes
// over the block as the group limit allows: many independent groups side by side
// keep the pipelines busy while each group waits on its own recursion.
template <class Lanes>
void RunBank(const BankArgs& a)
{
    constexpr int kMaxGroups = 4;
    const int iGroups = a.iNumBands / Lanes::kWidth;
    for (int g = 0; g < iGroups; g += kMaxGroups)
    {
        const int iFirst = g * Lanes::kWidth;
        switch (iGroups - g < kMaxGroups ? iGroups - g : kMaxGroups)
        {
        case 1: RunBandGroups<Lanes, 1>(a, iFirst); break;
        case 2: RunBandGroups<Lanes, 2>(a, iFirst); break;
        case 3: RunBandGroups<Lanes, 3>(a, iFirst); break;
        default: RunBandGroups<Lanes, 4>(a, iFirst); break;
        }
    }
}

} // namespace
