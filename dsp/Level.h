#pragma once
// Block peaks before and after the audible chain, held over the last few blocks for
// the level meter. A peak is the most negative sample, never above 0.0.
#include <atomic>

#include "dsp/SampleBuffer.h"

class Level
{
public:
    // One side of the meter (input or output): block and held peaks per channel
    // (read by the frame timer) and the history of block peaks behind the hold.
    struct Side
    {
        std::atomic<float> m_fBlockPeak[2] = {{0.0f}, {0.0f}};
        std::atomic<float> m_fHeldPeak[2] = {{0.0f}, {0.0f}};
        float* m_pHistory[2] = {nullptr, nullptr};
    };

    std::atomic<int> m_iMeterForm{1};  // 1 = horizontal (input only), else vertical
    int m_iHistoryLength = 3;
    Side m_In;
    Side m_Out;
    CSampleBuffer m_fOutput;

    int Init();
    void Release();
    CSampleBuffer* ProcessIn(const CSampleBuffer* pIn, int iOffset);
    CSampleBuffer* ProcessOut(const CSampleBuffer* pIn, int iOffset);

    // Draws the meter; partial 0 also draws its frame and captions.
    void Draw(int iPartial) const;

private:
    CSampleBuffer* Measure(Side& side, const CSampleBuffer* pIn, int iOffset);
};
