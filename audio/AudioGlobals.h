#pragma once
// What the audio side shares with the settings file, the Options dialog and the
// stream control: the requested stream and the values a running stream reports.
// Written by the user-interface thread while no stream runs; the input-channel mode
// is read again by every block, hence atomic.
#include <atomic>

extern float g_fRequestedSamplingFreq;   // Hz asked for; 48000 at start
extern int g_iRequestedBlockSize;        // frames asked for; 1200 at start
extern float g_fPrevSamplingFreq;        // the rate of the last stream set up
extern int g_iMaxSamplingFreq;           // the highest rate the current stream allows
extern int g_iBytesPerBlock;             // block size of the stream (frames on the ASIO path)
extern std::atomic<int> g_iInputChannels;  // 0 mono (input 0 feeds both channels), else stereo
extern int g_iCaptureDevice;             // kernel-streaming devices: positions in enumeration order
extern int g_iRenderDevice;
extern int g_iAudioErrorKind;            // 1 no capture pin, 2 no render pin; never reset

// Offered sampling frequencies: row 0 kernel streaming (also its fallback order),
// row 1 ASIO.
constexpr int kMaxSamplingFreqs = 20;
extern int g_aiSamplingFreqs[2][kMaxSamplingFreqs];
extern int g_aiNumSamplingFreqs[2];
void InitSamplingFreqTables();
