#pragma once
// The one way every back end runs a block: the driver's input samples converted
// into the engine's buffer at the stream's place in it, the engine run, and its
// two channels converted into the driver's output. Portable.
class CDspEngine;
class CSampleBuffer;

// One channel of a driver's block: its sample type (AsioSampleBytes accepts it),
// its first sample, and the bytes from one sample to the next (0 for the type's
// size: a channel buffer of its own; more for interleaved frames).
struct DriverChannel
{
    long lType;
    void* pFirst;
    int iStride;
};

// A stream's place in the engine's buffers. The first block goes in the stream's
// own input buffer, every later one in the buffer the engine returned last; the
// offset alternates between 0 and the block size (the engine's buffers hold two
// blocks).
struct EngineBlock
{
    CSampleBuffer* pCurrent = nullptr;
    int iBlock = 0;
    int iOffset = 0;
};

// A new stream of iBlock frames starting in pInput.
void StartEngineBlocks(EngineBlock& s, CSampleBuffer* pInput, int iBlock);
// One block: left and right input in, the engine run (skipped without an engine:
// the input passes through), its left and right output out.
void RunEngineBlock(EngineBlock& s, CDspEngine* pEngine, const DriverChannel& inLeft, const DriverChannel& inRight,
                    const DriverChannel& outLeft, const DriverChannel& outRight);
