#pragma once
// Pass-through unit: copies the block into its own buffer (the tap of the chain).
#include "dsp/SampleBuffer.h"

class Empty
{
public:
    CSampleBuffer m_fOutput;

    int Init();
    void Release();
    CSampleBuffer* Process(const CSampleBuffer* pIn, int iOffset);
};
