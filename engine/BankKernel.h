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

// Carries out the recursion for kGroups groups of four neighbouring bands from
// band iFirst on. Lanes provides the four-double type Q and its operations.
template <class Lanes, int kGroups>
void RunBandGroups(const BankArgs& a, int iFirst)
{
    using Q = typename Lanes::Q;
    const int iBlock = a.iBlockSize;
    const int iLen = a.iLength;
    const int iPrev1 = a.iOffset - 1 < 0 ? a.iOffset - 1 + iLen : a.iOffset - 1;
    const int iPrev2 = a.iOffset - 2 < 0 ? a.iOffset - 2 + iLen : a.iOffset - 2;

    Q b0[kGroups], b1[kGroups], b2[kGroups], a1[kGroups], a2[kGroups];
    Q y01[kGroups], y02[kGroups], y11[kGroups], y12[kGroups];  // stage 0 and 1 history
    float* const* out0 = a.ppOut0 + iFirst;
    float* const* out1 = a.ppOut1 + iFirst;
    for (int g = 0; g < kGroups; ++g)
    {
        const int i = iFirst + 4 * g;
        b0[g] = Lanes::Load(a.pB0 + i);
        b1[g] = Lanes::Load(a.pB1 + i);
        b2[g] = Lanes::Load(a.pB2 + i);
        a1[g] = Lanes::Load(a.pA1 + i);
        a2[g] = Lanes::Load(a.pA2 + i);
        float* const* o0 = out0 + 4 * g;
        float* const* o1 = out1 + 4 * g;
        y01[g] = Lanes::FromFloats(_mm_setr_ps(o0[0][iPrev1], o0[1][iPrev1], o0[2][iPrev1], o0[3][iPrev1]));
        y02[g] = Lanes::FromFloats(_mm_setr_ps(o0[0][iPrev2], o0[1][iPrev2], o0[2][iPrev2], o0[3][iPrev2]));
        y11[g] = Lanes::FromFloats(_mm_setr_ps(o1[0][iPrev1], o1[1][iPrev1], o1[2][iPrev1], o1[3][iPrev1]));
        y12[g] = Lanes::FromFloats(_mm_setr_ps(o1[0][iPrev2], o1[1][iPrev2], o1[2][iPrev2], o1[3][iPrev2]));
    }
    const Q k001 = Lanes::Broadcast(0.001);
    Q x1 = Lanes::Broadcast(a.pIn[iPrev1]);
    Q x2 = Lanes::Broadcast(a.pIn[iPrev2]);

    // One sample of every group; the stage outputs (four bands each) go to f0, f1.
    auto step = [&](int n, __m128* f0, __m128* f1) {
        const Q x0 = Lanes::Broadcast(a.pIn[n]);
        for (int g = 0; g < kGroups; ++g)
        {
            Q t = Lanes::Add(Lanes::Mul(b1[g], x1), Lanes::Mul(b2[g], x2));
            t = Lanes::Add(Lanes::Add(t, Lanes::Mul(b0[g], x0)), k001);
            t = Lanes::Sub(Lanes::Sub(t, Lanes::Mul(a1[g], y01[g])), Lanes::Mul(a2[g], y02[g]));
            f0[g] = Lanes::ToFloats(t);
            const Q v0 = Lanes::FromFloats(f0[g]);
            // The second stage filters the first one's output with the same coefficients.
            Q u = Lanes::Add(Lanes::Mul(b1[g], y01[g]), Lanes::Mul(b2[g], y02[g]));
            u = Lanes::Add(Lanes::Add(u, Lanes::Mul(b0[g], v0)), k001);
            u = Lanes::Sub(Lanes::Sub(u, Lanes::Mul(a1[g], y11[g])), Lanes::Mul(a2[g], y12[g]));
            f1[g] = Lanes::ToFloats(u);
            y02[g] = y01[g];
            y01[g] = v0;
            y12[g] = y11[g];
            y11[g] = Lanes::FromFloats(f1[g]);
        }
        x2 = x1;
        x1 = x0;
    };

    // Four samples at a time, so that one transpose turns four vectors of bands
    // into four runs of samples, one per band.
    const int iEnd = a.iOffset + iBlock;
    int n = a.iOffset;
    for (; n + 4 <= iEnd; n += 4)
    {
        __m128 r0[4][kGroups], r1[4][kGroups];
        for (int j = 0; j < 4; ++j)
            step(n + j, r0[j], r1[j]);
        for (int g = 0; g < kGroups; ++g)
        {
            __m128 p0 = r0[0][g], p1 = r0[1][g], p2 = r0[2][g], p3 = r0[3][g];
            _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
            _mm_storeu_ps(out0[4 * g + 0] + n, p0);
            _mm_storeu_ps(out0[4 * g + 1] + n, p1);
            _mm_storeu_ps(out0[4 * g + 2] + n, p2);
            _mm_storeu_ps(out0[4 * g + 3] + n, p3);
            __m128 q0 = r1[0][g], q1 = r1[1][g], q2 = r1[2][g], q3 = r1[3][g];
            _MM_TRANSPOSE4_PS(q0, q1, q2, q3);
            _mm_storeu_ps(out1[4 * g + 0] + n, q0);
            _mm_storeu_ps(out1[4 * g + 1] + n, q1);
            _mm_storeu_ps(out1[4 * g + 2] + n, q2);
            _mm_storeu_ps(out1[4 * g + 3] + n, q3);
        }
    }
    for (; n < iEnd; ++n)
    {
        __m128 f0[kGroups], f1[kGroups];
        step(n, f0, f1);
        for (int g = 0; g < kGroups; ++g)
        {
            float v0[4], v1[4];
            _mm_storeu_ps(v0, f0[g]);
            _mm_storeu_ps(v1, f1[g]);
            for (int i = 0; i < 4; ++i)
            {
                out0[4 * g + i][n] = v0[i];
                out1[4 * g + i][n] = v1[i];
            }
        }
    }
}

// Runs every whole group of four bands; returns how many bands that covered.
template <class Lanes, int kGroups>
int RunBank(const BankArgs& a)
{
    int b = 0;
    for (; b + 4 * kGroups <= a.iNumBands; b += 4 * kGroups)
        RunBandGroups<Lanes, kGroups>(a, b);
    for (; b + 4 <= a.iNumBands; b += 4)
        RunBandGroups<Lanes, 1>(a, b);
    return b;
}

} // namespace
