#pragma once
// A render device that draws nothing and records every call, so tests can check
// vertices, colours, states and order.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "render/RenderDevice.h"

class CRecordingDevice : public CRenderDevice
{
public:
    enum class Kind
    {
        BeginScene,
        EndScene,
        Clear,
        RenderState,
        StageState,
        Texture,
        ColouredStrip,
        TexturedStrip,
        LineList,
        Text,
        Present,
    };

    struct Call
    {
        Kind kind = Kind::BeginScene;
        int iState = 0;               // RenderState or StageState, as an int
        std::uint32_t uValue = 0;     // state value, clear colour, text colour or alignment
        int iTexture = -1;            // the texture bound when a strip was drawn, or set
        std::vector<ColouredVertex> coloured;
        std::vector<TexturedVertex> textured;
        int x = 0, y = 0;             // text position
        std::uint32_t uAlignment = 0;
        std::string sText;
        // The states in force when a primitive was drawn.
        std::map<int, std::uint32_t> renderStates;
        std::map<int, std::uint32_t> stageStates;
    };

    std::vector<Call> m_Calls;
    std::set<int> m_Textures;      // numbers HasTexture answers yes for
    bool m_bFailDraws = false;     // make every draw call fail
    bool m_bFailBeginScene = false;

    bool BeginScene() override;
    void EndScene() override;
    void Clear(std::uint32_t rgb) override;
    void SetRenderState(RenderState state, std::uint32_t value) override;
    void SetStageState(StageState state, std::uint32_t value) override;
    void SetTexture(int iTexture) override;
    bool HasTexture(int iTexture) const override { return m_Textures.count(iTexture) != 0; }
    bool DrawStrip(const ColouredVertex* pVertices, int nVertices) override;
    bool DrawStrip(const TexturedVertex* pVertices, int nVertices) override;
    bool DrawLineList(const ColouredVertex* pVertices, int nVertices) override;
    void DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment) override;
    std::int32_t Present() override;

    // The recorded draw calls (strips and line lists) only, in order.
    std::vector<Call> Draws() const;
    // State value in force now, or -1 when never set.
    long long RenderStateNow(RenderState state) const;
    long long StageStateNow(StageState state) const;

private:
    Call& Record(Kind kind);
    std::map<int, std::uint32_t> m_RenderStates;
    std::map<int, std::uint32_t> m_StageStates;
    int m_iTexture = -1;
};
