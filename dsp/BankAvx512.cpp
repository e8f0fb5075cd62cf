// The band bank on AVX-512: eight bands in one register of eight doubles. This file is compiled for AVX-512F; it
// is called only after the processor check.
#include <immintrin.h>

#include "dsp/BankKernel.h"

namespace {

struct Avx512Lanes
{
    static constexpr int kWidth = 8;
    static constexpr int kShortGroups = 8;
    using Q = __m512d;
    static Q Load(const double* p) { return _mm512_loadu_pd(p); }
    static Q Broadcast(double v) { return _mm512_set1_pd(v); }
    static Q Add(Q a, Q b) { return _mm512_add_pd(a, b); }
    static Q Sub(Q a, Q b) { return _mm512_sub_pd(a, b); }
    static Q Mul(Q a, Q b) { return _mm512_mul_pd(a, b); }
    // The masked forms (all lanes) give the same values; the plain ones trip a
    // false "uninitialized" warning in this compiler's headers.
    static __m256 ToFloats(Q a) { return _mm512_maskz_cvtpd_ps(0xFF, a); }
    static Q FromFloats(__m256 f) { return _mm512_maskz_cvtps_pd(0xFF, f); }
    static __m256 LoadF(const float* p) { return _mm256_load_ps(p); }
    static void StoreF(float* p, __m256 f) { _mm256_store_ps(p, f); }
    // The double of the float nearest each lane, and the same while storing the floats.
    static Q Round(Q a) { return FromFloats(ToFloats(a)); }
    static Q RoundStore(float* p, Q a)
    {
        const __m256 f = ToFloats(a);
        StoreF(p, f);
        return FromFloats(f);
    }
};


} // namespace

bool RunBankAvx512(const BankArgs& args)
{
    return RunBank<Avx512Lanes>(args);
}
