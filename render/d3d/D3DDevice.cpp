#include "render/d3d/D3DDevice.h"

#include "base/Log.h"
#include "render/d3d/D3DTextures.h"
#include "render/d3d/Direct3D.h"
#include "render/d3d/GdiText.h"

namespace {

// The vertex layouts are handed to the device as they are.
static_assert(sizeof(ColouredVertex) == 5 * 4, "x, y, z, rhw, diffuse");
static_assert(sizeof(TexturedVertex) == 6 * 4, "x, y, z, rhw, tu, tv");
constexpr DWORD kColouredFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;

DWORD ToD3DBlend(std::uint32_t factor)
{
    switch (static_cast<BlendFactor>(factor))
    {
    case BlendFactor::Zero:
        return D3DBLEND_ZERO;
    case BlendFactor::One:
        return D3DBLEND_ONE;
    case BlendFactor::SrcAlpha:
        return D3DBLEND_SRCALPHA;
    case BlendFactor::InvSrcAlpha:
        return D3DBLEND_INVSRCALPHA;
    case BlendFactor::DestAlpha:
        return D3DBLEND_DESTALPHA;
    }
    return D3DBLEND_ONE;
}

DWORD ToD3DOp(std::uint32_t op)
{
    switch (static_cast<TextureOp>(op))
    {
    case TextureOp::Disable:
        return D3DTOP_DISABLE;
    case TextureOp::SelectArg1:
        return D3DTOP_SELECTARG1;
    case TextureOp::Modulate:
        return D3DTOP_MODULATE;
    }
    return D3DTOP_DISABLE;
}

DWORD ToD3DArg(std::uint32_t arg)
{
    return static_cast<TextureArg>(arg) == TextureArg::Texture ? D3DTA_TEXTURE : D3DTA_DIFFUSE;
}

bool Draw(D3DPRIMITIVETYPE type, DWORD fvf, const void* pVertices, int nVertices)
{
    if (!g_D3D.pDevice || nVertices <= 0)
        return false;
    // The device only reads the vertices.
    return SUCCEEDED(g_D3D.pDevice->DrawPrimitive(type, fvf, const_cast<void*>(pVertices),
                                                 static_cast<DWORD>(nVertices), 0));
}

} // namespace

bool CD3DDevice::BeginScene()
{
    return g_D3D.pDevice && SUCCEEDED(g_D3D.pDevice->BeginScene());
}

void CD3DDevice::EndScene()
{
    if (g_D3D.pDevice)
        g_D3D.pDevice->EndScene();
}

void CD3DDevice::Clear(std::uint32_t rgb)
{
    if (g_D3D.pDevice)
        g_D3D.pDevice->Clear(0, nullptr, D3DCLEAR_TARGET, rgb, 0.0f, 0);
}

void CD3DDevice::SetRenderState(RenderState state, std::uint32_t value)
{
    if (!g_D3D.pDevice)
        return;
    switch (state)
    {
    case RenderState::AlphaBlendEnable:
        g_D3D.pDevice->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, value);
        break;
    case RenderState::SrcBlend:
        g_D3D.pDevice->SetRenderState(D3DRENDERSTATE_SRCBLEND, ToD3DBlend(value));
        break;
    case RenderState::DestBlend:
        g_D3D.pDevice->SetRenderState(D3DRENDERSTATE_DESTBLEND, ToD3DBlend(value));
        break;
    case RenderState::ColorKeyEnable:
        g_D3D.pDevice->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, value);
        break;
    case RenderState::DitherEnable:
        g_D3D.pDevice->SetRenderState(D3DRENDERSTATE_DITHERENABLE, value);
        break;
    case RenderState::Lighting:
        g_D3D.pDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, value);
        break;
    case RenderState::CullNone:
        g_D3D.pDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, value ? D3DCULL_NONE : D3DCULL_CCW);
        break;
    }
}

void CD3DDevice::SetStageState(StageState state, std::uint32_t value)
{
    if (!g_D3D.pDevice)
        return;
    switch (state)
    {
    case StageState::ColorOp:
        g_D3D.pDevice->SetTextureStageState(0, D3DTSS_COLOROP, ToD3DOp(value));
        break;
    case StageState::ColorArg1:
        g_D3D.pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, ToD3DArg(value));
        break;
    case StageState::ColorArg2:
        g_D3D.pDevice->SetTextureStageState(0, D3DTSS_COLORARG2, ToD3DArg(value));
        break;
    case StageState::AlphaOp:
        g_D3D.pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, ToD3DOp(value));
        break;
    case StageState::AlphaArg1:
        g_D3D.pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, ToD3DArg(value));
        break;
    case StageState::LinearFilter:
        g_D3D.pDevice->SetTextureStageState(0, D3DTSS_MINFILTER, value ? D3DTFN_LINEAR : D3DTFN_POINT);
        g_D3D.pDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, value ? D3DTFG_LINEAR : D3DTFG_POINT);
        break;
    }
}

void CD3DDevice::SetTexture(int iTexture)
{
    if (!g_D3D.pDevice)
        return;
    IDirectDrawSurface7* pTexture = iTexture >= 0 && iTexture < NUM_TEXTURE_SLOTS ? g_pTextures[iTexture] : nullptr;
    g_D3D.pDevice->SetTexture(0, pTexture);
}

bool CD3DDevice::HasTexture(int iTexture) const
{
    return iTexture >= 0 && iTexture < NUM_TEXTURE_SLOTS && g_pTextures[iTexture] != nullptr;
}

bool CD3DDevice::DrawStrip(const ColouredVertex* pVertices, int nVertices)
{
    return Draw(D3DPT_TRIANGLESTRIP, kColouredFvf, pVertices, nVertices);
}

bool CD3DDevice::DrawStrip(const TexturedVertex* pVertices, int nVertices)
{
    return Draw(D3DPT_TRIANGLESTRIP, kTexturedFvf, pVertices, nVertices);
}

bool CD3DDevice::DrawLineList(const ColouredVertex* pVertices, int nVertices)
{
    return Draw(D3DPT_LINELIST, kColouredFvf, pVertices, nVertices);
}

void CD3DDevice::DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment)
{
    DrawTextItem(x, y, colour, szText, uAlignment);
}

namespace {

// The frame's own bitmap, made once: a memory DC with a 32-bit bitmap of the
// client's size. Null when it cannot be had.
HDC PresentDC()
{
    if (g_D3D.hdcPresent)
        return g_D3D.hdcPresent;
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = g_D3D.iWidth;
    bmi.bmiHeader.biHeight = -g_D3D.iHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HDC hdc = hBitmap ? CreateCompatibleDC(nullptr) : nullptr;
    if (!hdc)
    {
        if (hBitmap)
            DeleteObject(hBitmap);
        return nullptr;
    }
    g_D3D.hOldPresentBitmap = SelectObject(hdc, hBitmap);
    g_D3D.hPresentBitmap = hBitmap;
    g_D3D.hdcPresent = hdc;
    return hdc;
}

// Copies the back buffer into the window's client area; null when done, else the
// failure's log line.
//
// GDI copies in the window's own coordinates, which stay right where Windows
// scales the window for the screen's pixels per inch or composes the desktop; a
// blit to the primary surface needs the window's place on the screen in the
// screen's pixels, which a program that Windows scales does not see.
// The frame passes through a bitmap of its own: from a surface's DC whose rows are
// padded beyond the copy, Wine copies into a window Direct3D draws on with each
// row shifted further than the last.
const char* CopyFrameToWindow()
{
    HDC hdcFrame = PresentDC();
    if (!hdcFrame)
        return "Present() CreateDIBSection() FAILED";
    HDC hdcBack = nullptr;
    if (FAILED(g_D3D.pBackBuffer->GetDC(&hdcBack)) || !hdcBack)
        return "Present() GetDC() FAILED";
    const BOOL bCopied = BitBlt(hdcFrame, 0, 0, g_D3D.iWidth, g_D3D.iHeight, hdcBack, 0, 0, SRCCOPY);
    g_D3D.pBackBuffer->ReleaseDC(hdcBack);
    if (!bCopied)
        return "Present() BitBlt() FAILED";
    // A DC of its own: the class DC is shared with the window's thread, and only
    // one thread at a time can draw with it.
    HDC hdcWindow = GetDCEx(g_D3D.hWnd, nullptr, DCX_CACHE);
    if (!hdcWindow)
        return "Present() GetDCEx() FAILED";
    const BOOL bShown = BitBlt(hdcWindow, 0, 0, g_D3D.iWidth, g_D3D.iHeight, hdcFrame, 0, 0, SRCCOPY);
    ReleaseDC(g_D3D.hWnd, hdcWindow);
    return bShown ? nullptr : "Present() BitBlt() FAILED";
}

} // namespace

std::int32_t CD3DDevice::Present()
{
    if (!g_D3D.pPrimary || !g_D3D.pBackBuffer)
        return static_cast<std::int32_t>(E_FAIL);
    const char* szFailed = CopyFrameToWindow();
    // Once per run of failures: frames come ten times a second.
    if (szFailed && !m_bPresentFailing)
        g_Log.Print(szFailed);
    m_bPresentFailing = szFailed != nullptr;
    return static_cast<std::int32_t>(szFailed ? E_FAIL : S_OK);
}
