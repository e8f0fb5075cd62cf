#include "engine/Level.h"

#include <cstring>
#include <initializer_list>

#include "engine/Alloc.h"
#include "engine/StreamParams.h"

int Level::Init()
{
    if (!m_fOutput.Init("Level", "m_fOutput", g_iBufMonoLen, g_iBlockSize))
        return 0;
    for (Side* side : {&m_In, &m_Out})
    {
        for (int c = 0; c < 2; ++c)
        {
            side->m_pHistory[c] = AllocBuf(m_iHistoryLength);
            if (!side->m_pHistory[c])
                return 0;
        }
    }
    return 1;
}

void Level::Release()
{
    for (Side* side : {&m_In, &m_Out})
        for (float*& p : side->m_pHistory)
            p = FreeBuf(p, m_iHistoryLength);
    m_fOutput.Release("Level", "m_fOutput");
}

CSampleBuffer* Level::Measure(Side& side, const CSampleBuffer* pIn, int iOffset)
{
    const int iEnd = iOffset + g_iBlockSize;
    for (int c = 0; c < 2; ++c)
    {
        const float* x = pIn->Channel(c);
        float fPeak = 0.0f;
        for (int n = iOffset; n < iEnd; ++n)
            if (x[n] < fPeak)
                fPeak = x[n];
        side.m_fBlockPeak[c].store(fPeak, std::memory_order_relaxed);

        float* h = side.m_pHistory[c];
        for (int k = m_iHistoryLength - 1; k >= 1; --k)
            h[k] = h[k - 1];
        h[0] = fPeak;

        float fHeld = 0.0f;
        for (int k = 0; k < m_iHistoryLength; ++k)
            if (h[k] < fHeld)
                fHeld = h[k];
        side.m_fHeldPeak[c].store(fHeld, std::memory_order_relaxed);

        std::memcpy(m_fOutput.Channel(c) + iOffset, x + iOffset, sizeof(float) * static_cast<size_t>(g_iBlockSize));
    }
    return &m_fOutput;
}

CSampleBuffer* Level::ProcessIn(const CSampleBuffer* pIn, int iOffset)
{
    return Measure(m_In, pIn, iOffset);
}

CSampleBuffer* Level::ProcessOut(const CSampleBuffer* pIn, int iOffset)
{
    return Measure(m_Out, pIn, iOffset);
}
