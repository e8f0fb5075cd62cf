#include "dsp/StreamParams.h"

float g_fSamplingFreq = 48000.0f;
int g_iBlockSize = 1200;
int g_iBufMonoLen = 2400;
int LfoBufLen = 96000;
int g_iBufWordLen = 24000;

void SetStreamFormat(float fSamplingFreq, int iBlockSize)
{
    g_fSamplingFreq = fSamplingFreq;
    g_iBlockSize = iBlockSize;
    g_iBufMonoLen = 2 * iBlockSize;
    LfoBufLen = static_cast<int>(2.0f * fSamplingFreq);
}
