#pragma once
// The portable half of the Windows-audio (WASAPI) back end: which endpoint sample
// formats it streams, and where one channel of interleaved frames lies for the
// engine block's conversion.
#include "audio/EngineBlock.h"

// An endpoint's interleaved format, as its mix or exclusive format describes it.
struct WasapiFormat
{
    int iChannels = 0;
    int iRate = 0;            // frames per second
    int iContainerBits = 0;   // bits a sample occupies
    int iValidBits = 0;       // of which carry the sample (the rest below it)
    bool bFloat = false;      // IEEE float, else signed integer PCM
};

// Bytes of one frame; 0 for a format that is not streamed.
int WasapiFrameBytes(const WasapiFormat& f);
// The ASIO sample type whose conversion a format's samples take: 32-bit float,
// 16-bit, packed 24-bit and 32-bit containers (a 24-bit sample in a 32-bit
// container is left-justified, as a 32-bit one); -1 for any other format, which is
// not streamed.
long WasapiSampleType(const WasapiFormat& f);

// Channel iChannel of interleaved frames starting at pFrames, for RunEngineBlock.
// A channel the format lacks reads silence and takes nothing.
DriverChannel WasapiChannel(const WasapiFormat& f, void* pFrames, int iChannel);
