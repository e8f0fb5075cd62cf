#pragma once
// Stream-control words the kernel-streaming audio thread reads: the user's
// choices of device, rate, block size and input mode, and what the stream found.
#include <atomic>

extern float g_fRequestedSamplingFreq;
extern int g_iRequestedBlockSize;
extern float g_fPrevSamplingFreq;
extern int g_iMaxSamplingFreq;
extern int g_iCaptureDevice;   // positions in enumeration order
extern int g_iRenderDevice;
extern std::atomic<int> g_iInputChannels;  // 0 mono, otherwise stereo; read every frame
extern int g_iAudioErrorKind;  // 1 no capture pin, 2 no render pin

// Offered sampling frequencies: row 0 kernel streaming (also its fallback order),
// row 1 ASIO.
constexpr int kMaxSamplingFreqs = 20;
extern int g_aiSamplingFreqs[2][kMaxSamplingFreqs];
extern int g_aiNumSamplingFreqs[2];
void InitSamplingFreqTables();
