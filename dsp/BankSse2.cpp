// The band bank on SSE2: four bands as two pairs of doubles. Every x86 target of
// the program has SSE2 (the 32-bit build requires it for its float model).
#include "dsp/BankKernel.h"

namespace {

struct Sse2Lanes
{
    static constexpr int kWidth = 4;
    static constexpr int kShortGroups = 4;
    struct Q
    {
        __m128d lo, hi;
    };
    static Q Load(const double* p) { return {_mm_loadu_pd(p), _mm_loadu_pd(p + 2)}; }
    static Q Broadcast(double v) { return {_mm_set1_pd(v), _mm_set1_pd(v)}; }
    static Q Add(Q a, Q b) { return {_mm_add_pd(a.lo, b.lo), _mm_add_pd(a.hi, b.hi)}; }
    static Q Sub(Q a, Q b) { return {_mm_sub_pd(a.lo, b.lo), _mm_sub_pd(a.hi, b.hi)}; }
    static Q Mul(Q a, Q b) { return {_mm_mul_pd(a.lo, b.lo), _mm_mul_pd(a.hi, b.hi)}; }
    static __m128 ToFloats(Q a) { return _mm_movelh_ps(_mm_cvtpd_ps(a.lo), _mm_cvtpd_ps(a.hi)); }
    static Q FromFloats(__m128 f) { return {_mm_cvtps_pd(f), _mm_cvtps_pd(_mm_movehl_ps(f, f))}; }
    // The double of the float nearest each lane, and the same while storing the floats.
    static Q Round(Q a) { return {_mm_cvtps_pd(_mm_cvtpd_ps(a.lo)), _mm_cvtps_pd(_mm_cvtpd_ps(a.hi))}; }
    static Q RoundStore(float* p, Q a)
    {
        const __m128 lo = _mm_cvtpd_ps(a.lo), hi = _mm_cvtpd_ps(a.hi);
        _mm_store_ps(p, _mm_movelh_ps(lo, hi));
        return {_mm_cvtps_pd(lo), _mm_cvtps_pd(hi)};
    }
    static __m128 LoadF(const float* p) { return _mm_load_ps(p); }
    static void StoreF(float* p, __m128 f) { _mm_store_ps(p, f); }
};

} // namespace

bool RunBankSse2(const BankArgs& args)
{
    return RunBank<Sse2Lanes>(args);
}
