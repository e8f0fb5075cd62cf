#pragma once
// A synthetic plucked string for tests and benchmarks: decaying harmonics whose
// levels follow the pluck position, higher partials dying away faster.
#include <vector>

struct PluckedStringParams
{
    float fFrequency = 110.0f;   // fundamental, Hz
    float fSampleRate = 48000.0f;
    float fSeconds = 2.0f;
    float fPeak = 12000.0f;      // approximate peak in 16-bit scale
    float fPluckPosition = 0.18f; // fraction of the string length from the bridge
    float fDecaySeconds = 1.5f;   // time constant of the fundamental
    int iHarmonics = 16;
};

// Mono samples in 16-bit scale.
std::vector<float> RenderPluckedString(const PluckedStringParams& params);
