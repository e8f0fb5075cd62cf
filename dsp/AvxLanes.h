#pragma once
// Four doubles in one AVX register, for the band bank's kernel (BankKernel.h).
// Only for files compiled for AVX or later.
#include <immintrin.h>

namespace {

struct AvxLanes
{
    static constexpr int kWidth = 4;
    static constexpr int kShortGroups = 8;
    using Q = __m256d;
    static Q Load(const double* p) { return _mm256_loadu_pd(p); }
    static Q Broadcast(double v) { return _mm256_set1_pd(v); }
    static Q Add(Q a, Q b) { return _mm256_add_pd(a, b); }
    static Q Sub(Q a, Q b) { return _mm256_sub_pd(a, b); }
    static Q Mul(Q a, Q b) { return _mm256_mul_pd(a, b); }
    static __m128 ToFloats(Q a) { return _mm256_cvtpd_ps(a); }
    static Q FromFloats(__m128 f) { return _mm256_cvtps_pd(f); }
    static __m128 LoadF(const float* p) { return _mm_load_ps(p); }
    static void StoreF(float* p, __m128 f) { _mm_store_ps(p, f); }
    // The double of the float nearest each lane, and the same while storing the floats.
    static Q Round(Q a) { return FromFloats(ToFloats(a)); }
    static Q RoundStore(float* p, Q a)
    {
        const __m128 f = ToFloats(a);
        StoreF(p, f);
        return FromFloats(f);
    }
};

} // namespace
