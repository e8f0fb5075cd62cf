#pragma once
// A render device that draws into a 32-bit image in memory (0x00RRGGBB per pixel),
// by the Direct3D 7 rules for pre-transformed vertices. Used by tests and by tools
// that write a frame to a picture file.
//
// Conventions, chosen to match what Direct3D 7 draws:
// - Pixel centres lie on integer coordinates: pixel (px, py) is sampled at exactly
//   (px, py). A quad from x1 to x2 and y1 to y2 thus covers columns x1 .. x2 - 1 and
//   rows y1 .. y2 - 1.
// - Top-left fill rule: a pixel centre exactly on an edge belongs to the triangle
//   when the edge is a left edge or a horizontal top edge, so quads that share an
//   edge never overlap or leave a gap.
// - Strips are cut into triangles (v0 v1 v2), (v2 v1 v3), ...; both windings drawn.
// - Colours (all four channels) and texture coordinates are interpolated linearly.
// - Textures: texel i of a side of n texels has its centre at (i + 0.5) / n; wrap
//   addressing; bilinear or nearest filtering by StageState::LinearFilter.
// - Colour key (RenderState::ColorKeyEnable 1): a pixel is skipped when the texel
//   under the sample point (the one the nearest filter would take) is pure black;
//   otherwise black texels are left out of the bilinear mix (the other weights are
//   renormalised), so the keyed black never bleeds into the edges.
// - Texture texels are opaque (alpha 1); textured vertices have opaque white
//   diffuse. A texture that is not loaded reads as opaque white.
// - Blending: result = source x SrcBlend + destination x DestBlend, clamped. The
//   image has no alpha, so destination alpha counts as 1. Blending off: the source
//   replaces the destination.
// - Lines light the pixels from the first vertex up to, not including, the last:
//   one pixel per step along the major axis.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/BmpFile.h"
#include "render/RenderDevice.h"
#include "render/software/TextRenderer.h"

class CSoftwareDevice : public CRenderDevice
{
public:
    CSoftwareDevice(int iWidth, int iHeight);

    int Width() const { return m_iWidth; }
    int Height() const { return m_iHeight; }
    std::uint32_t Pixel(int x, int y) const { return m_Pixels[static_cast<size_t>(y) * m_iWidth + x]; }
    // Row by row, the top row first.
    const std::vector<std::uint32_t>& Pixels() const { return m_Pixels; }
    RgbImage ToRgbImage() const;

    // Stores a copy of the image as texture iNumber (0 or more); false for an empty image.
    bool LoadTexture(int iNumber, const RgbImage& image);
    // Loads the five panel textures from the folder; returns how many loaded.
    int LoadPanelTextures(const std::string& folder);

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
    // Text goes to the text renderer (not owned; null draws no text).
    void SetTextRenderer(CTextRenderer* pRenderer) { m_pTextRenderer = pRenderer; }
    void DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment) override;
    std::int32_t Present() override { return 0; }

    bool InScene() const { return m_bInScene; }

    // One vertex as the rasterizer uses it: colour channels 0..255.
    struct Vertex
    {
        float x, y;
        float r, g, b, a;
        float u, v;
    };

private:
    struct Colour
    {
        float r, g, b, a;
    };
    // A loaded texture, its texels packed 0x00RRGGBB, rows top first.
    struct Texture
    {
        int iWidth = 0, iHeight = 0;
        std::vector<std::uint32_t> texels;
    };
    struct Pipeline;  // the states of one draw call, read once
    struct Triangle;  // one triangle's set-up, shared by the stages that draw it
    // How a triangle's rows are shaded: the texel's bytes, the bilinear texel
    // alone, the vertex colour unblended, or the full stage and blend.
    enum class RowShading
    {
        TexelCopy,
        Texel,
        VertexColour,
        Full,
    };

    Pipeline Resolve() const;
    void DrawTriangle(const Pipeline& pipe, const Vertex& v0, const Vertex& v1, const Vertex& v2);
    // DrawTriangle's stages, in the order it runs them.
    bool SetUpTriangle(const Vertex& v0, const Vertex& v1, const Vertex& v2, Triangle* pTri) const;
    static void ChooseValues(const Pipeline& pipe, Triangle* pTri);
    void FillOneColour(const Pipeline& pipe, const Triangle& tri);
    void SetUpWeights(Triangle* pTri);
    static RowShading ChooseShading(const Pipeline& pipe, const Triangle& tri);
    int GatherRow(const Triangle& tri, int py);
    int GatherExactRow(const Triangle& tri, const double w[3]);
    void MixRow(const Triangle& tri, int n);
    void CopyTexelRow(const Pipeline& pipe, const Triangle& tri, std::uint32_t* pRow, int n);
    void TexelRow(const Pipeline& pipe, const Triangle& tri, std::uint32_t* pRow, int n);
    void VertexColourRow(const Triangle& tri, std::uint32_t* pRow, int n);
    void ShadeRow(const Pipeline& pipe, const Triangle& tri, std::uint32_t* pRow, int n);
    float Value(const Triangle& tri, int k, int j) const;
    std::uint32_t Render(RenderState s) const { return m_RenderStates[static_cast<int>(s)]; }
    std::uint32_t Stage(StageState s) const { return m_StageStates[static_cast<int>(s)]; }

    int m_iWidth;
    int m_iHeight;
    std::vector<std::uint32_t> m_Pixels;
    std::map<int, Texture> m_Textures;
    int m_iTexture = -1;
    const Texture* m_pTexture = nullptr;  // the bound one, or null
    bool m_bInScene = false;
    CTextRenderer* m_pTextRenderer = nullptr;
    std::uint32_t m_RenderStates[8] = {};
    std::uint32_t m_StageStates[8] = {};
    // The scratch rows of DrawTriangle's stages: per covered pixel of a row its
    // column, edge values, weights and interpolated values; per column the
    // weights of an edge.
    std::vector<int> m_RowX;
    std::vector<double> m_RowW[3], m_RowL[3], m_ColumnL[3];
    std::vector<float> m_RowValue[6];
};
