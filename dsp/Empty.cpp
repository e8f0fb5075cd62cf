#include "dsp/Empty.h"

#include <cstring>

#include "dsp/StreamParams.h"

int Empty::Init()
{
    return m_fOutput.Init("Empty", "m_fOutput", g_iBufMonoLen, g_iBlockSize);
}

void Empty::Release()
{
    m_fOutput.Release("Empty", "m_fOutput");
}

CSampleBuffer* Empty::Process(const CSampleBuffer* pIn, int iOffset)
{
    for (int c = 0; c < 2; ++c)
        std::memcpy(m_fOutput.Channel(c) + iOffset, pIn->Channel(c) + iOffset,
                    sizeof(float) * static_cast<size_t>(g_iBlockSize));
    return &m_fOutput;
}
