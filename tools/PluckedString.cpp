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
        const double amp = std::sin(k * kPi * p.fPluckPosition) / (static_cast<double>(k) * k);
        const double tau = p.fDecaySeconds / (1.0 + 0.35 * (k - 1));
        const double w = 2.0 * kPi * f / p.fSampleRate;
        const double decay = std::exp(-1.0 / (tau * p.fSampleRate));
        double env = 1.0;
        for (size_t i = 0; i < n; ++i)
        {
            acc[i] += amp * env * std::sin(w * static_cast<double>(i));
            env *= decay;
        }
    }
    double peak = 0.0;
    for (double v : acc)
        peak = std::max(peak, std::fabs(v));
    std::vector<float> out(n);
    const double scale = peak > 0.0 ? p.fPeak / peak : 0.0;
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<float>(acc[i] * scale);
    return out;
}
