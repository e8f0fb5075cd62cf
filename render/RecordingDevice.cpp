#include "render/RecordingDevice.h"

CRecordingDevice::Call& CRecordingDevice::Record(Kind kind)
{
    m_Calls.emplace_back();
    Call& c = m_Calls.back();
    c.kind = kind;
    c.iTexture = m_iTexture;
    c.renderStates = m_RenderStates;
    c.stageStates = m_StageStates;
    return c;
}

bool CRecordingDevice::BeginScene()
{
    Record(Kind::BeginScene);
    return !m_bFailBeginScene;
}

void CRecordingDevice::EndScene()
{
    Record(Kind::EndScene);
}

void CRecordingDevice::Clear(std::uint32_t rgb)
{
    Record(Kind::Clear).uValue = rgb;
}

void CRecordingDevice::SetRenderState(RenderState state, std::uint32_t value)
{
    m_RenderStates[static_cast<int>(state)] = value;
    Call& c = Record(Kind::RenderState);
    c.iState = static_cast<int>(state);
    c.uValue = value;
}

void CRecordingDevice::SetStageState(StageState state, std::uint32_t value)
{
    m_StageStates[static_cast<int>(state)] = value;
    Call& c = Record(Kind::StageState);
    c.iState = static_cast<int>(state);
    c.uValue = value;
}

void CRecordingDevice::SetTexture(int iTexture)
{
    m_iTexture = iTexture;
    Record(Kind::Texture);
}

bool CRecordingDevice::DrawStrip(const ColouredVertex* pVertices, int nVertices)
{
    Record(Kind::ColouredStrip).coloured.assign(pVertices, pVertices + nVertices);
    return !m_bFailDraws;
}

bool CRecordingDevice::DrawStrip(const TexturedVertex* pVertices, int nVertices)
{
    Record(Kind::TexturedStrip).textured.assign(pVertices, pVertices + nVertices);
    return !m_bFailDraws;
}

bool CRecordingDevice::DrawLineList(const ColouredVertex* pVertices, int nVertices)
{
    Record(Kind::LineList).coloured.assign(pVertices, pVertices + nVertices);
    return !m_bFailDraws;
}

void CRecordingDevice::DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment)
{
    Call& c = Record(Kind::Text);
    c.x = x;
    c.y = y;
    c.uValue = colour;
    c.uAlignment = uAlignment;
    c.sText = szText ? szText : "";
}

std::int32_t CRecordingDevice::Present()
{
    Record(Kind::Present);
    return 0;
}

std::vector<CRecordingDevice::Call> CRecordingDevice::Draws() const
{
    std::vector<Call> draws;
    for (const Call& c : m_Calls)
        if (c.kind == Kind::ColouredStrip || c.kind == Kind::TexturedStrip || c.kind == Kind::LineList)
            draws.push_back(c);
    return draws;
}

long long CRecordingDevice::RenderStateNow(RenderState state) const
{
    auto it = m_RenderStates.find(static_cast<int>(state));
    return it == m_RenderStates.end() ? -1 : static_cast<long long>(it->second);
}

long long CRecordingDevice::StageStateNow(StageState state) const
{
    auto it = m_StageStates.find(static_cast<int>(state));
    return it == m_StageStates.end() ? -1 : static_cast<long long>(it->second);
}
