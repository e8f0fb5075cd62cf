#include "tuner/ReadOut.h"

#include <cmath>
#include <cstdio>

#include "dsp/NoteTable.h"
#include "render/Renderer.h"
#include "render/TextQueue.h"
#include "tuner/Tuner2.h"

ReadOut EvaluateReadOut(float fTarget, float fMeasured, float fMeasuredCopy)
{
    ReadOut r;
    float d = (fTarget - fMeasured) * 10.0f;
    if (d > kDeviationLimit)
        d = kDeviationLimit;
    if (d < -kDeviationLimit)
        d = -kDeviationLimit;
    r.fDeviation = d;

    const int iMeasured = static_cast<int>(fMeasured);
    r.bPitch = iMeasured != 0;
    r.bBar = iMeasured > 0;
    r.iBarEnd = 320 - static_cast<int>(d);

    if (d < -kInTuneBand)
        r.eLit = iMeasured > 0 ? Guidance::TuneDown : Guidance::None;
    else if (d > kInTuneBand)
        r.eLit = iMeasured > 0 ? Guidance::TuneUp : Guidance::None;
    else
        r.eLit = iMeasured != 0 ? Guidance::InTune : Guidance::None;

    if (r.bPitch)
    {
        const int iNote = Tuner2::NearestNote(fMeasuredCopy);
        std::snprintf(r.szNote, sizeof(r.szNote), "%s%d", g_szNoteName[iNote % 12], iNote / 12);
    }
    if (r.bPitch && fMeasured > 0.0f && fTarget > 0.0f)
    {
        r.fCents = static_cast<float>(1200.0 * std::log2(static_cast<double>(fMeasured) / fTarget));
        const double c = r.fCents > 999.0f ? 999.0 : r.fCents < -999.0f ? -999.0 : static_cast<double>(r.fCents);
        if (std::fabs(c) < 0.05)
            std::snprintf(r.szCents, sizeof(r.szCents), "0.0c");
        else if (std::fabs(c) < 99.95)
            std::snprintf(r.szCents, sizeof(r.szCents), "%+.1fc", c);
        else
            std::snprintf(r.szCents, sizeof(r.szCents), "%+.0fc", c);
    }
    return r;
}

const char* GuidanceText(Guidance eGuidance)
{
    switch (eGuidance)
    {
    case Guidance::TuneUp: return "tune up";
    case Guidance::InTune: return "in tune";
    case Guidance::TuneDown: return "tune down";
    default: return "";
    }
}

namespace {

constexpr std::uint32_t kDim = 0x00FFB0A0u;  // light blue (0x00BBGGRR)
constexpr std::uint32_t kBoxFill = 0xFF5B5B5Bu;
constexpr std::uint32_t kBoxLight = 0xF0000000u;
constexpr std::uint32_t kBoxDark = 0xFF707070u;

std::uint32_t WordColour(const ReadOut& r, Guidance eWord)
{
    return r.eLit == eWord ? g_crHighlight : kDim;
}

} // namespace

void Tuner2::Draw(int)
{
    g_pRenderDevice->SetRenderState(RenderState::AlphaBlendEnable, 0);
    g_pRenderDevice->SetRenderState(RenderState::ColorKeyEnable, 0);

    RenderRect(140, 68, 206, 81, kBoxFill, kBoxFill);
    RenderBox(140, 68, 206, 81, kBoxLight, kBoxDark);
    const int iTuning = m_iSelectedTuning.load(std::memory_order_relaxed);
    const bool bTuning = iTuning >= 0 && iTuning < m_iNumTunings.load(std::memory_order_relaxed);
    QueueText(144, 68, kDim, bTuning ? m_szTuningName[iTuning] : "", TEXT_LEFT);

    RenderRect(220, 68, 418, 81, kBoxFill, kBoxFill);
    RenderBox(220, 68, 418, 81, kBoxLight, kBoxDark);

    const float fTarget = m_fTargetFreq.load(std::memory_order_relaxed);
    const ReadOut r = EvaluateReadOut(fTarget, m_Tuner.Measured(), m_fMeasuredFreq.load(std::memory_order_relaxed));
    if (r.bBar)
        RenderRect(320, 69, r.iBarEnd, 81, 0x707070ADu, 0xA0A0A0DDu);

    QueueText(142, 83, kDim, "change key", TEXT_LEFT);
    QueueText(222, 83, WordColour(r, Guidance::TuneUp), "tune up", TEXT_LEFT);
    QueueText(305, 83, WordColour(r, Guidance::InTune), "in tune", TEXT_LEFT);
    QueueText(368, 83, WordColour(r, Guidance::TuneDown), "tune down", TEXT_LEFT);

    if (!r.bPitch)
        m_fMeasuredFreq.store(0.0f, std::memory_order_relaxed);

    RenderPanel(432, 68, 532, 125, kBoxLight, kBoxDark);
    QueueText(438, 73, kDim, "Note", TEXT_LEFT);
    QueueText(438, 89, kDim, "Freq", TEXT_LEFT);
    QueueText(438, 105, kDim, "Ref", TEXT_LEFT);
    QueueText(526, 73, kDim, r.szNote, TEXT_RIGHT);
    if (r.szCents[0])
        QueueText(kCentsRight, 73, kDim, r.szCents, TEXT_RIGHT);
    char sz[64];
    std::snprintf(sz, sizeof(sz), "%5.2f Hz", static_cast<double>(m_fMeasuredFreq.load(std::memory_order_relaxed)));
    QueueText(526, 89, kDim, sz, TEXT_RIGHT);
    std::snprintf(sz, sizeof(sz), "%5.2f Hz", static_cast<double>(fTarget));
    QueueText(526, 105, kDim, sz, TEXT_RIGHT);
}
