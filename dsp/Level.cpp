#include "dsp/Level.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <initializer_list>

#include "dsp/Alloc.h"
#include "dsp/StreamParams.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"

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

namespace {

// The most negative sample of x[iBegin..iEnd), or +0 if none is below it.
float BlockMinimum(const float* x, int iBegin, int iEnd)
{
    int n = iBegin;
    float fMin = 0.0f;
#if defined(__SSE2__)
    // Four running minima: MINPS(x, m) is "x < m ? x : m", the comparison below.
    // They start at +0 and only take strictly smaller values, so they never hold
    // -0 or NaN, and their minimum is the same whatever the order.
    __m128 m = _mm_setzero_ps();
    for (; n + 4 <= iEnd; n += 4)
        m = _mm_min_ps(_mm_loadu_ps(x + n), m);
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, m);
    for (float f : lanes)
        if (f < fMin)
            fMin = f;
#endif
    for (; n < iEnd; ++n)
        if (x[n] < fMin)
            fMin = x[n];
    return fMin;
}

} // namespace

CSampleBuffer* Level::Measure(Side& side, const CSampleBuffer* pIn, int iOffset)
{
    const int iEnd = iOffset + g_iBlockSize;
    for (int c = 0; c < 2; ++c)
    {
        const float* x = pIn->Channel(c);
        const float fPeak = BlockMinimum(x, iOffset, iEnd);
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

namespace {

constexpr float kPixelsPerUnit = 0.0030518509f;  // 100 pixels = 32767
constexpr float kMaxBar = 100.0f;
constexpr std::uint32_t kBarStart = 0x707070ADu;
constexpr std::uint32_t kBarEnd = 0xA0A0A0DDu;
constexpr std::uint32_t kCaption = 0x00FFA0A0u;  // text colour (0x00BBGGRR)
constexpr std::uint32_t kRule = 0xFF606060u;

// Fills a meter area with its part of the light map, or flat.
void FillMeterArea(int x1, int y1, int x2, int y2, std::uint32_t flat)
{
    if (g_bRichRendering.load(std::memory_order_relaxed))
        RenderRectTex(x1, y1, x2, y2, g_iWindowWidth, g_iWindowHeight, TEX_LIGHTMAP, 0);
    else
        RenderRect(x1, y1, x2, y2, flat);
}

// Bar length in pixels for a held peak (never above 0), at most 100: with the
// input gain up to 5 the input bars, too, could otherwise run over the panel.
int BarLength(float fHeldPeak)
{
    float f = fHeldPeak * -kPixelsPerUnit;
    if (f > kMaxBar)
        f = kMaxBar;
    return static_cast<int>(f);
}

} // namespace

void Level::Draw(int iPartial) const
{
    ColouredVertex v[2 * 32];
    int n = 0;
    auto load = [](const std::atomic<float>& f) { return f.load(std::memory_order_relaxed); };
    if (m_iMeterForm.load(std::memory_order_relaxed) != 1)
    {
        if (iPartial == 0)
            FillMeterArea(23, 46, 59, 178, 0xFF5B5B5Bu);
        else
            FillMeterArea(23, 62, 59, 162, 0xFF5B5B5Bu);
        RenderLine(23, 61, 59, 61, kRule);
        RenderLine(23, 162, 59, 162, kRule);
        if (iPartial == 0)
        {
            QueueText(28, 46, kCaption, "Level", TEXT_LEFT);
            QueueText(26, 162, kCaption, "in", TEXT_LEFT);
            QueueText(42, 162, kCaption, "out", TEXT_LEFT);
        }
        // Input left and right, output left and right; bars grow upwards from y = 161.
        const float afPeak[4] = {load(m_In.m_fHeldPeak[0]), load(m_In.m_fHeldPeak[1]), load(m_Out.m_fHeldPeak[0]),
                                 load(m_Out.m_fHeldPeak[1])};
        const int aiLeft[4] = {23, 32, 42, 51};
        for (int bar = 0; bar < 4; ++bar)
        {
            const int iTop = 161 - BarLength(afPeak[bar]);
            for (int x = aiLeft[bar]; x < aiLeft[bar] + 8; ++x, n += 2)
                SetLineVertices(v, n, x, 161, x, iTop, kBarStart, kBarEnd);
        }
    }
    else
    {
        if (iPartial == 0)
        {
            RenderPanel(136, 189, 272, 205, 0xF0000000u, 0xFF707070u);
            RenderLine(170, 191, 170, 203, kRule);
            QueueText(141, 190, kCaption, "Level", TEXT_LEFT);
        }
        else
        {
            FillMeterArea(171, 191, 272, 203, kRule);
        }
        const float afPeak[2] = {load(m_In.m_fHeldPeak[0]), load(m_In.m_fHeldPeak[1])};
        const int aiTop[2] = {191, 198};
        for (int bar = 0; bar < 2; ++bar)
        {
            const int iEnd = 171 + BarLength(afPeak[bar]);
            for (int y = aiTop[bar]; y < aiTop[bar] + 5; ++y, n += 2)
                SetLineVertices(v, n, 171, y, iEnd, y, kBarStart, kBarEnd);
        }
    }
    RenderLine(n / 2, v);
}
