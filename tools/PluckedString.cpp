#include "tools/PluckedString.h"

#include <algorithm>
#include <cmath>

std::vector<float> RenderPluckedString(const PluckedStringParams& p)
{
    const size_t n = static_cast<size_t>(p.fSeconds * p.fSampleRate);
    std::vector<double> acc(n, 0.0);
    const double kPi = 3.14159265358979323846;
    for (int k = 1; k <= p.iHarmonics; ++k)
    {
        const double f = p.fFrequency * k;
        if (f >= 0.45 * p.fSampleRate)
            break;
        // A string plucked at position b has partial k in proportion to sin(k pi b)/k^2.
        const double amp = static_cast<size_t>(k) <= p.partialLevels.size()
                               ? p.partialLevels[static_cast<size_t>(k) - 1]
                               : std::sin(k * kPi * p.fPluckPosition) / (static_cast<double>(k) * k);
        const double tau = p.fDecaySeconds / (1.0 + 0.35 * (k - 1));
        const double w = 2.0 * kPi * f / p.fSampleRate;
        const double decay = std::exp(-1.0 / (tau * p.fSampleRate));
        const double attack = k == p.iAttackPartial ? p.fAttackLevel : 0.0;
        const double attackDecay = std::exp(-1.0 / (p.fAttackSeconds * p.fSampleRate));
        double env = 1.0, attackEnv = 1.0;
        for (size_t i = 0; i < n; ++i)
        {
            acc[i] += (amp * env + attack * attackEnv) * std::sin(w * static_cast<double>(i));
            env *= decay;
            attackEnv *= attackDecay;
        }
    }
    auto normalise = [&acc] {
        double peak = 0.0;
        for (double v : acc)
            peak = std::max(peak, std::fabs(v));
        for (double& v : acc)
            v = peak > 0.0 ? v / peak : 0.0;
    };
    normalise();
    // The pick: a short burst of white noise (a fixed generator, so runs repeat).
    unsigned int uSeed = 12345u;
    const size_t nBurst = std::min(n, static_cast<size_t>(0.02 * p.fSampleRate));
    for (size_t i = 0; p.fPickNoise > 0.0f && i < nBurst; ++i)
    {
        uSeed = uSeed * 1664525u + 1013904223u;
        const double white = static_cast<double>(uSeed >> 8) / 8388608.0 - 1.0;
        acc[i] += p.fPickNoise * white * (1.0 - static_cast<double>(i) / nBurst);
    }
    if (p.fClipDrive > 0.0f)
        for (double& v : acc)
            v = std::tanh(p.fClipDrive * v);
    if (p.fClipLevel > 0.0f)
        for (double& v : acc)
            v = std::clamp(v, -static_cast<double>(p.fClipLevel), static_cast<double>(p.fClipLevel));
    normalise();
    std::vector<float> out(n + static_cast<size_t>(p.fSilenceSeconds * p.fSampleRate), 0.0f);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<float>(acc[i] * p.fPeak);
    return out;
}
