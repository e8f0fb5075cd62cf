#include "tools/BenchWork.h"

#include <algorithm>

#include "dsp/StreamParams.h"
#include "tools/PluckedString.h"

EngineBenchWork::~EngineBenchWork()
{
    if (m_bInit)
        m_Engine.Release();
    m_Input.Release("bench", "input");
}

bool EngineBenchWork::Init()
{
    SetStreamFormat(kBenchRate, kBenchBlock);
    PluckedStringParams p;
    p.fFrequency = 110.0f;
    p.fSampleRate = kBenchRate;
    p.fSeconds = 2.0f;
    m_Signal = RenderPluckedString(p);
    m_bInit = m_Engine.InitDSP() != 0;
    return m_bInit && m_Input.Init("bench", "input", g_iBufMonoLen, g_iBlockSize);
}

void EngineBenchWork::Step(bool bBankOnly)
{
    // The signal repeats; copied in at most two pieces, so that the copy costs
    // next to nothing beside the work measured.
    const size_t uSize = m_Signal.size();
    for (int c = 0; c < (bBankOnly ? 1 : 2); ++c)
    {
        float* pDst = m_Input.Channel(c) + m_iOffset;
        size_t uPos = m_uPos;
        for (int iLeft = kBenchBlock; iLeft > 0;)
        {
            const int iPiece = static_cast<int>(std::min(static_cast<size_t>(iLeft), uSize - uPos));
            std::copy_n(m_Signal.data() + uPos, iPiece, pDst);
            pDst += iPiece;
            iLeft -= iPiece;
            uPos = (uPos + static_cast<size_t>(iPiece)) % uSize;
        }
    }
    if (bBankOnly)
    {
        Analyser& a = m_Engine.m_Analyser;
        BpFilter::ProcessBank(m_Input.Channel(0), m_iOffset, a.m_pFilters[0], a.NumBands(), a.m_iNumStages);
    }
    else
    {
        m_Engine.Process(&m_Input, m_iOffset);
    }
    m_uPos = (m_uPos + kBenchBlock) % m_Signal.size();
    m_iOffset = m_iOffset == 0 ? kBenchBlock : 0;
}

double EngineBenchWork::BankBiquadsPerBlock() const
{
    const Analyser& a = m_Engine.m_Analyser;
    return static_cast<double>(kBenchBlock) * a.NumBands() * a.m_iNumStages;
}
