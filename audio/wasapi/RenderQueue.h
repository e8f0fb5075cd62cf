#pragma once
// Engine output waiting for the render endpoint. Capture and render run on
// different clocks: when the render side finds too little waiting, the last block
// is played again; when too much waits, the oldest block is dropped. Both are
// counted, and neither side ever waits for the other. Both sides run on the
// stream's one thread.
#include <vector>

class RenderQueue
{
public:
    // Blocks of iBlock frames, at most iMaxBlocks of them waiting. Allocates: call
    // before streaming.
    void Reset(int iBlock, int iMaxBlocks);
    // A block of engine output, two channels of iBlock frames.
    void Push(const float* pLeft, const float* pRight);
    // n frames for the endpoint. Playing starts once a block more than n waits,
    // so that the two clocks' jitter does not empty the queue; before, silence.
    void Pull(float* pLeft, float* pRight, int n);

    int Waiting() const { return m_iWaiting; }  // frames
    long long Dropped() const { return m_llDropped; }
    long long Repeated() const { return m_llRepeated; }

private:
    void Append(const float* pLeft, const float* pRight, int n);

    int m_iBlock = 0;
    int m_iCapacity = 0;            // frames the ring holds
    std::vector<float> m_afLeft;    // the ring, m_iCapacity frames a channel
    std::vector<float> m_afRight;
    std::vector<float> m_afLastLeft;  // the newest block, to play again
    std::vector<float> m_afLastRight;
    bool m_bHaveLast = false;
    bool m_bPlaying = false;
    int m_iRead = 0;                // the oldest waiting frame
    int m_iWaiting = 0;
    long long m_llDropped = 0;
    long long m_llRepeated = 0;
};
