#include "engine/DspEngine.h"

#include <cmath>
#include <cstdio>

#include "base/Clock.h"
#include "base/Log.h"
#include "dsp/Alloc.h"
#include "dsp/BpFilter.h"
#include "dsp/DspMath.h"
#include "dsp/NoteTable.h"
#include "dsp/StreamParams.h"

float* g_pLfoBuf[NUM_LFO_TABLES] = {};

namespace {

int s_iLfoLen = 0;  // length the tables were made with

// One cycle of a classic modulation shape per table, amplitude 1.
void FillLfoTable(float* p, int iLen, int iShape)
{
    for (int i = 0; i < iLen; ++i)
    {
        const float ph = static_cast<float>(i) / static_cast<float>(iLen);  // 0..1
        float v;
        switch (iShape)
        {
        case 0: v = std::sin(TWO_PI * ph); break;                              // sine
        case 1: v = std::cos(TWO_PI * ph); break;                              // cosine
        case 2: v = ph < 0.5f ? 4.0f * ph - 1.0f : 3.0f - 4.0f * ph; break;    // triangle
        case 3: v = 2.0f * ph - 1.0f; break;                                   // ramp up
        case 4: v = 1.0f - 2.0f * ph; break;                                   // ramp down
        case 5: v = ph < 0.5f ? 1.0f : -1.0f; break;                           // square
        case 6: v = std::fabs(std::sin(TWO_PI * 0.5f * ph)); break;            // rectified sine
        default: v = 0.5f - 0.5f * std::cos(TWO_PI * ph); break;               // raised cosine
        }
        p[i] = v;
    }
}

} // namespace

CDspEngine::CDspEngine()
{
    m_Tuner2.Attach(&m_Analyser);
}

int CDspEngine::InitDSP()
{
    g_Log.Print("InitDSP()");
    s_iLfoLen = LfoBufLen;
    for (float*& p : g_pLfoBuf)
    {
        p = AllocBuf(LfoBufLen);
        if (!p)
            return 0;
    }
    for (int i = 0; i < NUM_LFO_TABLES; ++i)
        FillLfoTable(g_pLfoBuf[i], LfoBufLen, i);

    char szLine[160];
    std::snprintf(szLine, sizeof(szLine),
                  "g_iBufWordLen = %d , g_iBufMonoLen = %d , LfoBufLen = %d , g_iBlockSize = %d", g_iBufWordLen,
                  g_iBufMonoLen, LfoBufLen, g_iBlockSize);
    g_Log.Print(szLine);

    if (!MakeNoteTable())
        return 0;
    if (!m_Tuner2.Init() || !m_Level.Init() || !m_Mixer.Init() || !m_Limiter.Init() || !m_Empty.Init() ||
        !m_Analyser.Init())
        return 0;
    m_bOn.store(1, std::memory_order_relaxed);
    return 1;
}

void CDspEngine::Release()
{
    g_Log.Print("Release()");
    m_bOn.store(0, std::memory_order_relaxed);
    for (float*& p : g_pLfoBuf)
        p = FreeBuf(p, s_iLfoLen);
    // The note table stays: it is constant and read by other threads at any time.
    m_Tuner2.Release();
    m_Level.Release();
    m_Mixer.Release();
    m_Limiter.Release();
    m_Empty.Release();
    m_Analyser.Release();
}

CSampleBuffer* CDspEngine::Process(CSampleBuffer* pIn, int iOffset)
{
    if (!m_bOn.load(std::memory_order_relaxed))
        return pIn;
    CSampleBuffer* pMixed = m_Mixer.ProcessIn(pIn, iOffset);
    m_Level.ProcessIn(pMixed, iOffset);
    CSampleBuffer* pTap = m_Empty.Process(pMixed, iOffset);
    m_Analyser.Process(pTap, iOffset);
    if (TunerOn())
        m_Tuner2.Process(pTap, iOffset);
    CSampleBuffer* pOut = m_Mixer.ProcessOut(pTap, iOffset);
    pOut = m_Limiter.Process(pOut, iOffset);
    return m_Level.ProcessOut(pOut, iOffset);
}

int CpuTest()
{
    constexpr int kLen = 2400000;
    float* pIn = AllocBuf(kLen);
    float* pOut = AllocBuf(kLen);
    if (!pIn || !pOut)
    {
        FreeBuf(pIn, kLen);
        FreeBuf(pOut, kLen);
        return 0;
    }
    // A 1 kHz sine at 48 kHz.
    const float fStep = TWO_PI * 2.0833333e-05f * 1000.0f;
    float fPhase = 0.0f;
    for (int i = 0; i < kLen; ++i)
    {
        pIn[i] = std::sin(fPhase);
        fPhase += fStep;
    }
    BpFilter filter;
    filter.m_iType = 4;
    filter.m_fBW = 0.041666668f;
    // f0 chosen so that the design's w0 is pi x 0.041666668 at the current rate.
    filter.m_fF0 = 0.041666668f * 0.5f * g_fSamplingFreq;
    filter.Design();

    const DWORD dwStart = TimeMs();
    const double b0 = filter.m_fB0, b1 = filter.m_fB1, b2 = filter.m_fB2, a1 = filter.m_fA1, a2 = filter.m_fA2;
    for (int n = 0; n < kLen; ++n)
    {
        const int n1 = WrapIndex(n - 1, kLen), n2 = WrapIndex(n - 2, kLen);
        pOut[n] = static_cast<float>(b0 * pIn[n] + b1 * pIn[n1] + b2 * pIn[n2] - a1 * pOut[n1] - a2 * pOut[n2]);
    }
    const DWORD dwEnd = TimeMs();
    const int iMs = static_cast<int>(dwEnd - dwStart);

    char szLine[64];
    std::snprintf(szLine, sizeof(szLine), "CPU test = %d ms", iMs);
    g_Log.Print(szLine);
    FreeBuf(pIn, kLen);
    FreeBuf(pOut, kLen);
    return iMs;
}
