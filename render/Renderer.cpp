#include "render/Renderer.h"

#include "base/Log.h"

CRenderDevice* g_pRenderDevice = nullptr;
std::atomic<int> g_bRichRendering{1};
int g_iTextureBpp = 32;
int g_iWindowWidth = 589;
int g_iWindowHeight = 240;

namespace {

constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);
constexpr std::uint32_t kClearGrey = 0x808080;

ColouredVertex Vertex(float x, float y, std::uint32_t colour)
{
    return ColouredVertex{x, y, 0.5f, 1.0f, colour};
}

TexturedVertex TexVertex(float x, float y, float tu, float tv)
{
    return TexturedVertex{x, y, 0.5f, 1.0f, tu, tv};
}

void Blending(bool bOn)
{
    g_pRenderDevice->SetRenderState(RenderState::AlphaBlendEnable, bOn ? 1u : 0u);
}

void StageOff()
{
    g_pRenderDevice->SetStageState(StageState::ColorOp, static_cast<std::uint32_t>(TextureOp::Disable));
}

// Draws a coloured quad with corners TL, TR, BL, BR at the given edges.
int ColouredQuad(float x1, float y1, float x2, float y2, std::uint32_t tl, std::uint32_t tr, std::uint32_t bl,
                 std::uint32_t br, const char* szFailure)
{
    const ColouredVertex v[4] = {Vertex(x1, y1, tl), Vertex(x2, y1, tr), Vertex(x1, y2, bl), Vertex(x2, y2, br)};
    if (!g_pRenderDevice->DrawStrip(v, 4))
    {
        g_Log.Print(szFailure);
        return 0;
    }
    return 1;
}

// Per-channel average of red, green and blue, alpha 0.
std::uint32_t Mix(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t m = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        m |= ((((a >> shift) & 0xFFu) + ((b >> shift) & 0xFFu)) / 2u) << shift;
    return m;
}

// Sets the texture and the blend flag's states, draws, and leaves blending off.
int TexturedQuad(const TexturedVertex (&v)[4], int iTexture, int bBlend, const char* szFailure)
{
    g_pRenderDevice->SetTexture(iTexture);
    if (bBlend)
    {
        // Neither textures nor the back buffer have alpha: the quad adds its colours.
        Blending(true);
        g_pRenderDevice->SetRenderState(RenderState::SrcBlend, static_cast<std::uint32_t>(BlendFactor::SrcAlpha));
        g_pRenderDevice->SetRenderState(RenderState::DestBlend, static_cast<std::uint32_t>(BlendFactor::DestAlpha));
    }
    else
    {
        Blending(false);
        g_pRenderDevice->SetStageState(StageState::ColorOp, static_cast<std::uint32_t>(TextureOp::Modulate));
    }
    if (!g_pRenderDevice->DrawStrip(v, 4))
    {
        g_Log.Print(szFailure);
        return 0;
    }
    Blending(false);
    return 1;
}

} // namespace

int RenderRect(int x1, int y1, int x2, int y2, std::uint32_t colour)
{
    Blending(false);
    StageOff();
    return ColouredQuad(float(x1), float(y1), float(x2), float(y2), colour, colour, colour, colour,
                        "RenderRect() 1 - DrawPrimitive() FAILED");
}

int RenderRect(int x1, int y1, int x2, int y2, std::uint32_t colourTop, std::uint32_t colourBottom)
{
    Blending(false);
    StageOff();
    return ColouredQuad(float(x1), float(y1), float(x2), float(y2), colourTop, colourTop, colourBottom, colourBottom,
                        "RenderRect() 2 - DrawPrimitive() FAILED");
}

int RenderRect(int x1, int y1, int x2, int y2, std::uint32_t c1, std::uint32_t c2, int iMode)
{
    std::uint32_t tl = c1, tr = c1, bl = c2, br = c2;  // mode 1: vertical
    switch (iMode)
    {
    case 2: tr = c2; bl = c1; break;
    case 3: tr = bl = Mix(c1, c2); break;
    case 4: tr = c2; bl = c2; br = c1; break;
    default: break;
    }
    StageOff();
    return ColouredQuad(float(x1), float(y1), float(x2 + 1), float(y2 + 1), tl, tr, bl, br,
                        "RenderRect() 3 - DrawPrimitive() FAILED");
}

int RenderRectTex(int x1, int y1, int x2, int y2, int iTexture, int bBlend, float fScale)
{
    const float l = float(x1), t = float(y1), r = float(x2), b = float(y2);
    const TexturedVertex v[4] = {TexVertex(l, t, l / fScale, t / fScale), TexVertex(r, t, r / fScale, t / fScale),
                                 TexVertex(l, b, l / fScale, b / fScale), TexVertex(r, b, r / fScale, b / fScale)};
    return TexturedQuad(v, iTexture, bBlend, "RenderRectTex() 1 - DrawPrimitive() FAILED");
}

int RenderRectTex(int x1, int y1, int x2, int y2, int iScaleX, int iScaleY, int iTexture, int bBlend)
{
    const float l = float(x1), t = float(y1), r = float(x2), b = float(y2);
    const float sx = float(iScaleX), sy = float(iScaleY);
    const TexturedVertex v[4] = {TexVertex(l, t, l / sx, t / sy), TexVertex(r, t, r / sx, t / sy),
                                 TexVertex(l, b, l / sx, b / sy), TexVertex(r, b, r / sx, b / sy)};
    return TexturedQuad(v, iTexture, bBlend, "RenderRectTex() 2 - DrawPrimitive() FAILED");
}

int RenderRectTex(int x1, int y1, int x2, int y2, int iTexture, int bBlend)
{
    const float l = float(x1), t = float(y1), r = float(x2), b = float(y2);
    const TexturedVertex v[4] = {TexVertex(l, t, 0.0f, 0.0f), TexVertex(r, t, 1.0f, 0.0f), TexVertex(l, b, 0.0f, 1.0f),
                                 TexVertex(r, b, 1.0f, 1.0f)};
    return TexturedQuad(v, iTexture, bBlend, "RenderRectTex() 3 - DrawPrimitive() FAILED");
}

int RenderLine(int x1, int y1, int x2, int y2, std::uint32_t colour)
{
    Blending(true);
    StageOff();
    const ColouredVertex v[2] = {Vertex(float(x1), float(y1), colour), Vertex(float(x2), float(y2), colour)};
    if (!g_pRenderDevice->DrawLineList(v, 2))
    {
        g_Log.Print("RenderLine() 2 - DrawPrimitive() FAILED");
        return 0;
    }
    Blending(false);
    return 1;
}

int RenderLine(int nLines, const ColouredVertex* pVertices)
{
    if (nLines <= 0 || !pVertices)
        return 0;
    Blending(false);
    StageOff();
    if (!g_pRenderDevice->DrawLineList(pVertices, 2 * nLines))
    {
        g_Log.Print("RenderLine - DrawPrimitive() FAILED");
        return 0;
    }
    return 1;
}

void SetLineVertices(ColouredVertex* v, int i, int x1, int y1, int x2, int y2, std::uint32_t c1, std::uint32_t c2)
{
    v[i] = Vertex(float(x1), float(y1), c1);
    v[i + 1] = Vertex(float(x2), float(y2), c2);
}

void RenderBox(int x1, int y1, int x2, int y2, std::uint32_t light, std::uint32_t dark)
{
    RenderLine(x1, y1, x1, y2 + 1, light);
    RenderLine(x1, y1, x2 + 1, y1, light);
    RenderLine(x2, y1 + 1, x2, y2 + 1, dark);
    RenderLine(x1 + 1, y2, x2 + 1, y2, dark);
}

void RenderPanel(int x1, int y1, int x2, int y2, std::uint32_t light, std::uint32_t dark)
{
    RenderBox(x1, y1, x2, y2 - 1, light, dark);
    RenderBox(x1 + 1, y1 + 1, x2 - 1, y2 - 2, light, dark);
    if (g_bRichRendering.load(std::memory_order_relaxed))
        RenderRectTex(x1 + 2, y1 + 2, x2 - 1, y2 - 2, g_iWindowWidth, g_iWindowHeight, TEX_LIGHTMAP, 0);
    else
        RenderRect(x1 + 2, y1 + 2, x2 - 2, y2 - 2, 0xff606060u);
}

void ClearScreen()
{
    if (!g_pRenderDevice)
        return;
    g_pRenderDevice->BeginScene();
    g_pRenderDevice->Clear(kClearGrey);
    g_pRenderDevice->EndScene();
    Present();
}

std::int32_t Present()
{
    return g_pRenderDevice ? g_pRenderDevice->Present() : kEFail;
}

int SetRenderStates()
{
    CRenderDevice& d = *g_pRenderDevice;
    d.SetStageState(StageState::ColorOp, static_cast<std::uint32_t>(TextureOp::Modulate));
    d.SetStageState(StageState::ColorArg1, static_cast<std::uint32_t>(TextureArg::Texture));
    d.SetStageState(StageState::ColorArg2, static_cast<std::uint32_t>(TextureArg::Diffuse));
    d.SetStageState(StageState::AlphaOp, static_cast<std::uint32_t>(TextureOp::SelectArg1));
    d.SetStageState(StageState::AlphaArg1, static_cast<std::uint32_t>(TextureArg::Texture));
    d.SetStageState(StageState::LinearFilter, 1u);
    d.SetRenderState(RenderState::DitherEnable, 1u);
    d.SetRenderState(RenderState::Lighting, 0u);
    d.SetRenderState(RenderState::CullNone, 1u);
    return 0;
}
