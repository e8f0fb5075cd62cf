#pragma once
// Engine output waiting for the render endpoint, as the endpoint's own frames.
// Capture and render run on different clocks: when the render side finds too
// little waiting, the last block is played again; when too much waits, the oldest
// block is dropped. Both are counted, and neither side ever waits for the other.
// Both sides run on the stream's one thread.
#include <cstddef>
#include <vector>

class RenderQueue
{
public:
    // Blocks of iBlock frames of iFrameBytes each, at most iMaxBlocks of them
    // waiting. Allocates: call before streaming.
    void Reset(int iBlock, int iFrameBytes, int iMaxBlocks);
    // A block of engine output.
    void Push(const unsigned char* pFrames);
    // n frames for the endpoint. Playing starts once a block more than n waits,
    // so that the two clocks' jitter does not empty the queue; before, silence
    // (zero bytes, silence in every PCM and float format).
    void Pull(unsigned char* pFrames, int n);

    int Waiting() const { return m_iWaiting; }  // frames
    long long Dropped() const { return m_llDropped; }
    long long Repeated() const { return m_llRepeated; }

private:
    void Append(const unsigned char* pFrames, int n);
    unsigned char* Frame(int i) { return &m_abRing[static_cast<std::size_t>(i) * static_cast<std::size_t>(m_iFrameBytes)]; }

    int m_iBlock = 0;
    int m_iFrameBytes = 0;
    int m_iCapacity = 0;               // frames the ring holds
    std::vector<unsigned char> m_abRing;
    std::vector<unsigned char> m_abLast;  // the newest block, to play again
    bool m_bPlaying = false;
    int m_iRead = 0;                   // the oldest waiting frame
    int m_iWaiting = 0;
    long long m_llDropped = 0;
    long long m_llRepeated = 0;
};
