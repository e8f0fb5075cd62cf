#include "audio/AudioGlobals.h"

float g_fRequestedSamplingFreq = 48000.0f;
int g_iRequestedBlockSize = 1200;
float g_fPrevSamplingFreq = 48000.0f;
int g_iMaxSamplingFreq = 192000;
int g_iBytesPerBlock = 0;
std::atomic<int> g_iInputChannels{0};
int g_iCaptureDevice = 0;
int g_iRenderDevice = 0;
int g_iAudioErrorKind = 0;
int g_aiSamplingFreqs[2][kMaxSamplingFreqs];
int g_aiNumSamplingFreqs[2];

void InitSamplingFreqTables()
{
    static const int aiKs[] = {12000, 24000, 36000, 48000, 60000, 72000, 84000, 96000, 192000};
    static const int aiAsio[] = {12000, 24000, 48000, 96000, 192000};
    g_aiNumSamplingFreqs[0] = static_cast<int>(sizeof(aiKs) / sizeof(aiKs[0]));
    g_aiNumSamplingFreqs[1] = static_cast<int>(sizeof(aiAsio) / sizeof(aiAsio[0]));
    for (int i = 0; i < g_aiNumSamplingFreqs[0]; ++i)
        g_aiSamplingFreqs[0][i] = aiKs[i];
    for (int i = 0; i < g_aiNumSamplingFreqs[1]; ++i)
        g_aiSamplingFreqs[1][i] = aiAsio[i];
}
