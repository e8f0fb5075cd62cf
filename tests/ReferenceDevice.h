#pragma once
// The plain rasterizer that the software device's fast paths are checked
// against: the rules of render/software/SoftwareDevice.h worked out for one pixel
// at a time, every value interpolated and every state read where it is used.
// Test code: plain before fast.
#include <cstdint>
#include <map>
#include <vector>

#include "base/BmpFile.h"
#include "render/RenderDevice.h"

class CReferenceDevice : public CRenderDevice
{
public:
    CReferenceDevice(int iWidth, int iHeight);

    int Width() const { return m_iWidth; }
    int Height() const { return m_iHeight; }
    std::uint32_t Pixel(int x, int y) const { return m_Pixels[static_cast<size_t>(y) * m_iWidth + x]; }
    const std::vector<std::uint32_t>& Pixels() const { return m_Pixels; }
    bool LoadTexture(int iNumber, const RgbImage& image);

    bool BeginScene() override { return true; }
    void EndScene() override {}
    void Clear(std::uint32_t rgb) override;
    void SetRenderState(RenderState state, std::uint32_t value) override;
    void SetStageState(StageState state, std::uint32_t value) override;
    void SetTexture(int iTexture) override { m_iTexture = iTexture; }
    bool HasTexture(int iTexture) const override { return m_Textures.count(iTexture) != 0; }
    bool DrawStrip(const ColouredVertex* pVertices, int nVertices) override;
    bool DrawStrip(const TexturedVertex* pVertices, int nVertices) override;
    bool DrawLineList(const ColouredVertex* pVertices, int nVertices) override;
    void DrawTextAt(int, int, std::uint32_t, const char*, unsigned) override {}  // text is not rasterized here
    std::int32_t Present() override { return 0; }

private:
    struct Vertex
    {
        float x, y;
        float r, g, b, a;  // 0..255
        float u, v;
    };
    struct Colour
    {
        float r, g, b, a;
    };

    void DrawTriangle(const Vertex& a, const Vertex& b0, const Vertex& c0);
    // The colour of texture stage 0 at one pixel; false when the colour key skips it.
    bool Shade(const Vertex& at, Colour* pOut) const;
    bool Sample(float u, float v, Colour* pOut) const;
    void Write(int x, int y, const Colour& c);
    std::uint32_t Render(RenderState s) const { return m_RenderStates[static_cast<int>(s)]; }
    std::uint32_t Stage(StageState s) const { return m_StageStates[static_cast<int>(s)]; }

    int m_iWidth;
    int m_iHeight;
    std::vector<std::uint32_t> m_Pixels;
    std::map<int, RgbImage> m_Textures;
    int m_iTexture = -1;
    std::uint32_t m_RenderStates[8] = {};
    std::uint32_t m_StageStates[8] = {};
};
