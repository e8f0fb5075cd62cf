// The band bank on AVX: four bands in one register of four doubles. This file is
// compiled for AVX; it is called only after the processor check.
#include <immintrin.h>

#include "engine/BankKernel.h"

namespace {

struct AvxLanes
{
    using Q = __m256d;
    static Q Load(const double* p) { return _mm256_loadu_pd(p); }
    static Q Broadcast(double v) { return _mm256_set1_pd(v); }
    static Q Add(Q a, Q b) { return _mm256_add_pd(a, b); }
    static Q Sub(Q a, Q b) { return _mm256_sub_pd(a, b); }
    static Q Mul(Q a, Q b) { return _mm256_mul_pd(a, b); }
    static __m128 ToFloats(Q a) { return _mm256_cvtpd_ps(a); }
    static Q FromFloats(__m128 f) { return _mm256_cvtps_pd(f); }
};

} // namespace

int RunBankAvx(const BankArgs& args)
{
    return RunBank<AvxLanes, 3>(args);
}
