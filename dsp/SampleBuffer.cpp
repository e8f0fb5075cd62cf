#include "dsp/SampleBuffer.h"

#include "dsp/Alloc.h"

int CSampleBuffer::Init(const char* szLabel, const char*, int iLength, int iBlockSize)
{
    return InitChannels(szLabel, 2, iLength, iBlockSize);
}

int CSampleBuffer::InitChannels(const char*, int iNumChannels, int iLength, int iBlockSize)
{
    if (iNumChannels < 1 || iNumChannels > 2)
        return 0;
    m_iNumChannels = iNumChannels;
    m_iLength = iLength;
    m_iBlockSize = iBlockSize;
    m_iReserved[0] = m_iReserved[1] = 0;
    for (int c = 0; c < iNumChannels; ++c)
    {
        m_pChannel[c] = AllocBuf(iLength);
        if (!m_pChannel[c])
            return 0;
    }
    return 1;
}

void CSampleBuffer::Release(const char*, const char*)
{
    for (float*& p : m_pChannel)
        p = FreeBuf(p, m_iLength);
}
