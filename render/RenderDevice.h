#pragma once
// The seam between the drawing code and a graphics back end. The drawing code
// records what to draw through these few calls; a back end (Direct3D 7 on
// Windows, the software rasterizer, the recorder used by tests) replays them.
#include <cstdint>

// Pre-transformed vertices: positions are window pixels, z is 0.5, rhw 1.0.
struct ColouredVertex
{
    float x, y, z, rhw;
    std::uint32_t colour;  // ARGB
};

struct TexturedVertex
{
    float x, y, z, rhw;
    float tu, tv;
};

// The render states the drawing code sets.
enum class RenderState
{
    AlphaBlendEnable,  // 0 or 1
    SrcBlend,          // a BlendFactor
    DestBlend,         // a BlendFactor
    ColorKeyEnable,    // 0 or 1: texels of pure black are not drawn
    DitherEnable,
    Lighting,
    CullNone,          // 1: both windings are drawn
};

enum class BlendFactor : std::uint32_t
{
    Zero,
    One,
    SrcAlpha,
    InvSrcAlpha,
    DestAlpha,
};

// Texture stage 0, the only stage used.
enum class StageState
{
    ColorOp,    // a TextureOp
    ColorArg1,  // a TextureArg
    ColorArg2,
    AlphaOp,
    AlphaArg1,
    LinearFilter,  // 1: bilinear minification and magnification
};

enum class TextureOp : std::uint32_t
{
    Disable,     // vertex colour only
    SelectArg1,
    Modulate,    // texture x diffuse
};

enum class TextureArg : std::uint32_t
{
    Diffuse,
    Texture,
};

class CRenderDevice
{
public:
    virtual ~CRenderDevice() = default;

    virtual bool BeginScene() = 0;
    virtual void EndScene() = 0;
    // Fills the render target with an RGB colour (0x00RRGGBB).
    virtual void Clear(std::uint32_t rgb) = 0;
    virtual void SetRenderState(RenderState state, std::uint32_t value) = 0;
    virtual void SetStageState(StageState state, std::uint32_t value) = 0;
    // Selects a loaded texture by number for stage 0; -1 for none.
    virtual void SetTexture(int iTexture) = 0;
    // Whether texture number iTexture was loaded (drawing falls back to flat fills).
    virtual bool HasTexture(int iTexture) const = 0;
    // Four-vertex strips (TL, TR, BL, BR) and line lists (two vertices a line).
    virtual bool DrawStrip(const ColouredVertex* pVertices, int nVertices) = 0;
    virtual bool DrawStrip(const TexturedVertex* pVertices, int nVertices) = 0;
    virtual bool DrawLineList(const ColouredVertex* pVertices, int nVertices) = 0;
    // Text on the finished frame: colour is 0x00BBGGRR; alignment 0 = left, 2 =
    // right-aligned at x, 6 = centred on x, always with the top at y.
    virtual void DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment) = 0;
    // Shows the frame; a Windows result code (0 on success).
    virtual std::int32_t Present() = 0;
};

// The device every primitive draws with; null until a back end is set up.
extern CRenderDevice* g_pRenderDevice;
