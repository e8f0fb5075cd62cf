#include "dsp/Analyser.h"

#include <cmath>

#include "dsp/Alloc.h"
#include "dsp/DspMath.h"
#include "dsp/NoteTable.h"
#include "dsp/StreamParams.h"

namespace {
constexpr float kFirstBandHz = 41.205f;  // E1
}

int Analyser::Init()
{
    m_bRetunePending.store(0, std::memory_order_relaxed);
    if (!m_fOutput.Init("Analyser", "m_fOutput", g_iBufMonoLen, g_iBlockSize))
        return 0;
    m_iAllocatedBands = m_iNumBands;
    for (int c = 0; c < m_iNumChannels; ++c)
    {
        for (int k = 0; k < m_iNumStages; ++k)
        {
            m_pFilters[c][k] = NewArray<BpFilter>(m_iNumBands);
            if (!m_pFilters[c][k])
                return 0;
            for (int b = 0; b < m_iNumBands; ++b)
                if (!m_pFilters[c][k][b].Init(g_iBufMonoLen, g_iBlockSize))
                    return 0;
        }
        m_pPeakAcc[c] = AllocBuf(m_iNumBands);
        m_pHeldPeak[c] = AllocBuf(m_iNumBands);
        if (!m_pPeakAcc[c] || !m_pHeldPeak[c])
            return 0;
    }
    Layout(kFirstBandHz, SEMITONE_OCTAVES);
    return 1;
}

void Analyser::Release()
{
    m_fOutput.Release("Analyser", "m_fOutput");
    for (int c = 0; c < kMaxChannels; ++c)
    {
        for (int k = 0; k < kMaxStages; ++k)
        {
            BpFilter*& p = m_pFilters[c][k];
            if (!p)
                continue;
            for (int b = 0; b < m_iAllocatedBands; ++b)
                p[b].Release();
            delete[] p;
            p = nullptr;
        }
        m_pPeakAcc[c] = FreeBuf(m_pPeakAcc[c], m_iAllocatedBands);
        m_pHeldPeak[c] = FreeBuf(m_pHeldPeak[c], m_iAllocatedBands);
    }
}

void Analyser::Layout(float fStart, float fBandwidth)
{
    const float r = static_cast<float>(std::pow(2.0, static_cast<double>(SEMITONE_OCTAVES)));
    for (int c = 0; c < m_iNumChannels; ++c)
    {
        for (int k = 0; k < m_iNumStages; ++k)
        {
            BpFilter* bank = m_pFilters[c][k];
            if (!bank)
                continue;
            float f = fStart;
            for (int b = 0; b < m_iAllocatedBands; ++b)
            {
                BpFilter& flt = bank[b];
                flt.m_fF0 = f;
                flt.m_fBW = fBandwidth;
                flt.m_fQ = m_fQ;
                flt.m_iType = 4;
                flt.Design();
                f *= r;
            }
        }
        for (int b = 0; b < m_iAllocatedBands; ++b)
        {
            if (m_pPeakAcc[c])
                m_pPeakAcc[c][b] = 0.0f;
            if (m_pHeldPeak[c])
                m_pHeldPeak[c][b] = 0.0f;
        }
    }
}

void Analyser::Retune()
{
    m_bRetunePending.store(0, std::memory_order_relaxed);
    const int iMode = m_iBandMode.load(std::memory_order_relaxed);
    // C1 for band mode 1 (tuner on), C2 for band mode 2.
    const float fStart = NoteFrequency(0) * static_cast<float>(std::pow(2.0, iMode));
    Layout(fStart, HALF_SEMITONE_OCTAVES);
}

void Analyser::RequestRetune()
{
    m_bRetunePending.store(1, std::memory_order_relaxed);
}

CSampleBuffer* Analyser::Process(const CSampleBuffer* pIn, int iOffset)
{
    if (m_bRetunePending.load(std::memory_order_relaxed))
        Retune();
    const int iEnd = iOffset + g_iBlockSize;
    for (int c = 0; c < m_iNumChannels; ++c)
    {
        float* acc = m_pPeakAcc[c];
        if (m_iBlockCount >= 3)
        {
            for (int b = 0; b < m_iAllocatedBands; ++b)
            {
                m_pHeldPeak[c][b] = acc[b];
                acc[b] = 0.0f;
            }
            m_iBlockCount = 0;
        }
        float* sum = m_fOutput.Channel(c);
        BpFilter::ProcessBank(pIn->Channel(c), iOffset, m_pFilters[c], m_iAllocatedBands, m_iNumStages, acc, sum);
        if (m_iNumChannels == 1)
            for (int n = iOffset; n < iEnd; ++n)
                m_fOutput.Channel(1)[n] = sum[n];
    }
    ++m_iBlockCount;
    return &m_fOutput;
}
