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
    // Levels of the first partials (1 = fundamental), replacing the pluck-position
    // law for those partials: {0.05f, 1.0f} gives a fundamental 26 dB under its octave.
    std::vector<float> partialLevels;
    float fClipDrive = 0.0f;      // > 0: soft clipping like an overdriven amplifier
    float fClipLevel = 0.0f;      // > 0: hard clipping at this share of the peak, as an overloaded input
    // An attack dominated by one partial: partial iAttackPartial gains fAttackLevel
    // (on the scale of the partial levels) that dies away with fAttackSeconds.
    int iAttackPartial = 0;
    float fAttackLevel = 0.0f;
    float fAttackSeconds = 0.03f;
    float fPickNoise = 0.0f;      // level of a 20 ms noise burst at the pluck, share of the peak
    float fSilenceSeconds = 0.0f; // silence appended after the note
};

// Mono samples in 16-bit scale.
std::vector<float> RenderPluckedString(const PluckedStringParams& params);
