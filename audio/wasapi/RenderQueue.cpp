#include "audio/wasapi/RenderQueue.h"

#include <algorithm>
#include <cstring>

void RenderQueue::Reset(int iBlock, int iFrameBytes, int iMaxBlocks)
{
    m_iBlock = std::max(1, iBlock);
    m_iFrameBytes = std::max(1, iFrameBytes);
    m_iCapacity = m_iBlock * std::max(1, iMaxBlocks);
    m_abRing.assign(static_cast<size_t>(m_iCapacity) * static_cast<size_t>(m_iFrameBytes), 0);
    // Silence until the first block: a repeat before it plays nothing.
    m_abLast.assign(static_cast<size_t>(m_iBlock) * static_cast<size_t>(m_iFrameBytes), 0);
    m_bPlaying = false;
    m_iRead = 0;
    m_iWaiting = 0;
    m_llDropped = 0;
    m_llRepeated = 0;
}

void RenderQueue::Append(const unsigned char* pFrames, int n)
{
    for (int i = 0; i < n; ++i)
    {
        std::memcpy(Frame((m_iRead + m_iWaiting) % m_iCapacity), pFrames + static_cast<size_t>(i) * m_iFrameBytes,
                    static_cast<size_t>(m_iFrameBytes));
        ++m_iWaiting;
    }
}

void RenderQueue::Push(const unsigned char* pFrames)
{
    if (m_iCapacity == 0)
        return;
    if (m_iWaiting + m_iBlock > m_iCapacity)
    {
        // The capture clock runs ahead: the oldest block goes.
        const int iDrop = std::min(m_iBlock, m_iWaiting);
        m_iRead = (m_iRead + iDrop) % m_iCapacity;
        m_iWaiting -= iDrop;
        ++m_llDropped;
    }
    Append(pFrames, m_iBlock);
    std::copy(pFrames, pFrames + m_abLast.size(), m_abLast.begin());
}

void RenderQueue::Pull(unsigned char* pFrames, int n)
{
    if (m_iCapacity == 0)
        return;
    if (m_iWaiting >= n + m_iBlock)
        m_bPlaying = true;
    if (!m_bPlaying)
    {
        std::fill(pFrames, pFrames + static_cast<size_t>(n) * static_cast<size_t>(m_iFrameBytes), 0);
        return;
    }
    for (int i = 0; i < n; ++i)
    {
        if (m_iWaiting == 0)
        {
            // The render clock runs ahead: the newest block is played again.
            Append(m_abLast.data(), m_iBlock);
            ++m_llRepeated;
        }
        std::memcpy(pFrames + static_cast<size_t>(i) * m_iFrameBytes, Frame(m_iRead), static_cast<size_t>(m_iFrameBytes));
        m_iRead = (m_iRead + 1) % m_iCapacity;
        --m_iWaiting;
    }
}
