#pragma once
// The portable half of the Windows-audio (WASAPI) back end: which endpoint sample
// formats it streams, and their conversion to and from the engine's 16-bit-scale
// floats, the same as for the ASIO driver's types.

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

// One channel of n frames between an interleaved endpoint buffer and the engine.
// Output writes only that channel's samples.
void WasapiInputToFloats(const WasapiFormat& f, const void* pFrames, int iChannel, float* pOut, int n);
void WasapiFloatsToOutput(const WasapiFormat& f, const float* pIn, void* pFrames, int iChannel, int n);
