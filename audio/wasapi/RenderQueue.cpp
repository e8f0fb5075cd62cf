#include "audio/wasapi/RenderQueue.h"

#include <algorithm>

void RenderQueue::Reset(int iBlock, int iMaxBlocks)
{
    m_iBlock = std::max(1, iBlock);
    m_iCapacity = m_iBlock * std::max(1, iMaxBlocks);
    m_afLeft.assign(static_cast<size_t>(m_iCapacity), 0.0f);
    m_afRight.assign(static_cast<size_t>(m_iCapacity), 0.0f);
    m_afLastLeft.assign(static_cast<size_t>(m_iBlock), 0.0f);
    m_afLastRight.assign(static_cast<size_t>(m_iBlock), 0.0f);
    m_bHaveLast = false;
    m_bPlaying = false;
    m_iRead = 0;
    m_iWaiting = 0;
    m_llDropped = 0;
    m_llRepeated = 0;
}

void RenderQueue::Append(const float* pLeft, const float* pRight, int n)
{
    for (int i = 0; i < n; ++i)
    {
        const int iAt = (m_iRead + m_iWaiting) % m_iCapacity;
        m_afLeft[static_cast<size_t>(iAt)] = pLeft[i];
        m_afRight[static_cast<size_t>(iAt)] = pRight[i];
        ++m_iWaiting;
    }
}

void RenderQueue::Push(const float* pLeft, const float* pRight)
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
    Append(pLeft, pRight, m_iBlock);
    std::copy(pLeft, pLeft + m_iBlock, m_afLastLeft.begin());
    std::copy(pRight, pRight + m_iBlock, m_afLastRight.begin());
    m_bHaveLast = true;
}

void RenderQueue::Pull(float* pLeft, float* pRight, int n)
{
    if (m_iWaiting >= n + m_iBlock)
        m_bPlaying = true;
    if (!m_bPlaying)
    {
        std::fill(pLeft, pLeft + n, 0.0f);
        std::fill(pRight, pRight + n, 0.0f);
        return;
    }
    for (int i = 0; i < n; ++i)
    {
        if (m_iWaiting == 0)
        {
            // The render clock runs ahead: the newest block is played again.
            Append(m_afLastLeft.data(), m_afLastRight.data(), m_iBlock);
            ++m_llRepeated;
        }
        pLeft[i] = m_afLeft[static_cast<size_t>(m_iRead)];
        pRight[i] = m_afRight[static_cast<size_t>(m_iRead)];
        m_iRead = (m_iRead + 1) % m_iCapacity;
        --m_iWaiting;
    }
}
