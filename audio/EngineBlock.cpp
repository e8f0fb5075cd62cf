#include "audio/EngineBlock.h"

#include "audio/SampleConversion.h"
#include "dsp/SampleBuffer.h"
#include "engine/DspEngine.h"

void StartEngineBlocks(EngineBlock& s, CSampleBuffer* pInput, int iBlock)
{
    s.pCurrent = pInput;
    s.iBlock = iBlock;
    s.iOffset = 0;
}

void RunEngineBlock(EngineBlock& s, CDspEngine* pEngine, const DriverChannel& inLeft, const DriverChannel& inRight,
                    const DriverChannel& outLeft, const DriverChannel& outRight)
{
    const int B = s.iBlock;
    const int E = s.iOffset;
    AsioInputToFloats(inLeft.lType, inLeft.pFirst, s.pCurrent->Channel(0) + E, B, inLeft.iStride);
    AsioInputToFloats(inRight.lType, inRight.pFirst, s.pCurrent->Channel(1) + E, B, inRight.iStride);
    if (pEngine)
        s.pCurrent = pEngine->Process(s.pCurrent, E);
    AsioFloatsToOutput(outLeft.lType, s.pCurrent->Channel(0) + E, outLeft.pFirst, B, outLeft.iStride);
    AsioFloatsToOutput(outRight.lType, s.pCurrent->Channel(1) + E, outRight.pFirst, B, outRight.iStride);
    s.iOffset = E + B >= 2 * B ? 0 : E + B;
}
