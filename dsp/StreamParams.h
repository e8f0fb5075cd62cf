#pragma once
// Stream parameters: set by the audio back-end before InitDSP and read by every
// unit. InitDSP and Process never run at the same time, so plain words suffice.

extern float g_fSamplingFreq;  // Hz, 48000 at start
extern int g_iBlockSize;       // frames per block, 1200 at start
extern int g_iBufMonoLen;      // samples per channel array of a unit buffer: 2 blocks
extern int LfoBufLen;          // samples per waveform table: 2 s of audio
extern int g_iBufWordLen;      // 16-bit words of the kernel-streaming capture buffer

// Sets rate and block size and the two lengths derived from them, as the ASIO
// back-end does (g_iBufWordLen is left alone).
void SetStreamFormat(float fSamplingFreq, int iBlockSize);
