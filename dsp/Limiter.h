#pragma once
// Keeps the output below a fixed threshold. The gain only ever falls: it holds the
// value of the last over block until the next stream start.
#include "dsp/SampleBuffer.h"

class Limiter
{
public:
    float m_fGain = 1.0f;
    float m_fThreshold = 30000.0f;
    CSampleBuffer m_fOutput;

    int Init();
    void Release();
    CSampleBuffer* Process(const CSampleBuffer* pIn, int iOffset);
};
