#include "render/d3d/D3DTextures.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/Log.h"
#include "base/Utf8.h"
#include "render/d3d/BitmapFile.h"
#include "render/d3d/DeviceCaps.h"
#include "render/d3d/Direct3D.h"

IDirectDrawSurface7* g_pTextures[NUM_TEXTURE_SLOTS] = {};
int g_iNumTextures = 0;

const char* const g_szTextureFiles[NUM_TEXTURE_SLOTS] = {
    "Blackwood4.bmp", "Knob33a.bmp", "KnobNotch3-a.bmp", "KnobNotch3-b.bmp", "LightMap9.bmp",
};

namespace {

struct FormatSearch
{
    DWORD dwBitCount;
    bool bFound;
    DDPIXELFORMAT format;
};

// A plain RGB format of the wanted depth: no luminance, bump map, FourCC or alpha.
HRESULT CALLBACK FindTextureFormat(DDPIXELFORMAT* pFormat, void* pContext)
{
    FormatSearch* pSearch = static_cast<FormatSearch*>(pContext);
    if ((pFormat->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV | DDPF_FOURCC)) != 0 ||
        pFormat->dwFourCC != 0 || (pFormat->dwFlags & DDPF_ALPHAPIXELS) != 0)
        return D3DENUMRET_OK;
    if (pFormat->dwRGBBitCount != pSearch->dwBitCount)
        return D3DENUMRET_OK;
    std::memcpy(&pSearch->format, pFormat, sizeof(DDPIXELFORMAT));
    pSearch->bFound = true;
    return D3DENUMRET_CANCEL;
}

bool FindFormat(IDirect3DDevice7* pDevice, DDPIXELFORMAT* pFormat)
{
    FormatSearch search;
    std::memset(&search, 0, sizeof(search));
    search.dwBitCount = static_cast<DWORD>(g_iTextureBpp);
    pDevice->EnumTextureFormats(FindTextureFormat, &search);
    if (!search.bFound)
    {
        g_iTextureBpp = 16;
        g_bRichRendering = 0;
        search.dwBitCount = 16;
        pDevice->EnumTextureFormats(FindTextureFormat, &search);
    }
    if (search.bFound)
        *pFormat = search.format;
    return search.bFound;
}

// Copies the bitmap into the top-left of the surface with GDI. False when no
// memory device context can be had at all.
bool CopyBitmap(IDirectDrawSurface7* pSurface, HBITMAP hBitmap, int iWidth, int iHeight)
{
    HDC hdcBitmap = CreateCompatibleDC(nullptr);
    if (!hdcBitmap)
        return false;
    HGDIOBJ hOld = SelectObject(hdcBitmap, hBitmap);
    HDC hdcSurface = nullptr;
    if (SUCCEEDED(pSurface->GetDC(&hdcSurface)))
    {
        BitBlt(hdcSurface, 0, 0, iWidth, iHeight, hdcBitmap, 0, 0, SRCCOPY);
        pSurface->ReleaseDC(hdcSurface);
    }
    SelectObject(hdcBitmap, hOld);
    DeleteDC(hdcBitmap);
    return true;
}

} // namespace

int LoadTextures()
{
    g_Log.Print("");
    for (int i = 0; i < NUM_TEXTURE_SLOTS; ++i)
    {
        const std::string inFolder = std::string("Textures\\") + g_szTextureFiles[i];
        if (!CreateTexture(g_D3D.pDevice, i, inFolder.c_str(), 0))
            CreateTexture(g_D3D.pDevice, i, g_szTextureFiles[i], 0);
    }
    g_Log.Print("");
    return 1;
}

IDirectDrawSurface7* CreateTexture(IDirect3DDevice7* pDevice, int iNumber, const char* szName, int bColourKey)
{
    if (iNumber < 0 || iNumber >= NUM_TEXTURE_SLOTS || !szName)
        return nullptr;
    g_pTextures[iNumber] = nullptr;

    // A bitmap resource of the program's own is trusted; a file goes through our
    // reader, since the system's file loader reads past the end of a cut one.
    HBITMAP hBitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), Utf8ToWide(szName).c_str(),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!hBitmap)
    {
        std::string sReason;
        hBitmap = LoadBitmapFile(szName, &sReason);
        if (!hBitmap)
        {
            g_Log.Print(("CreateTexture() FAILED to load " + sReason).c_str());
            return nullptr;
        }
    }

    IDirectDrawSurface7* pTexture = pDevice ? CreateTextureSurface(pDevice, hBitmap, szName) : nullptr;
    // The surface holds its own copy of the pixels.
    DeleteObject(hBitmap);
    g_pTextures[iNumber] = pTexture;
    if (!pTexture)
    {
        g_Log.Print("CreateTexture() FAILED to load ", szName);
        return nullptr;
    }

    if (bColourKey)
    {
        DDCOLORKEY key = {0, 0};
        if (FAILED(pTexture->SetColorKey(DDCKEY_SRCBLT, &key)))
            g_Log.Print("CreateTexture() SetColorKey() FAILED");
    }
    ++g_iNumTextures;
    return pTexture;
}

IDirectDrawSurface7* CreateTextureSurface(IDirect3DDevice7* pDevice, HBITMAP hBitmap, const char* szName)
{
    D3DDEVICEDESC7 desc;
    std::memset(&desc, 0, sizeof(desc));
    if (FAILED(pDevice->GetCaps(&desc)))
        return nullptr;
    BITMAP bm;
    std::memset(&bm, 0, sizeof(bm));
    if (!GetObjectA(hBitmap, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0)
        return nullptr;
    const int iBitmapWidth = bm.bmWidth;
    const int iBitmapHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;

    DDSURFACEDESC2 ddsd;
    std::memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE | DDSD_CKSRCBLT;
    ddsd.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    ddsd.ddckCKSrcBlt.dwColorSpaceLowValue = 0;
    ddsd.ddckCKSrcBlt.dwColorSpaceHighValue = 0;
    if (IsEqualGUID(desc.deviceGUID, IID_IDirect3DHALDevice) || IsEqualGUID(desc.deviceGUID, IID_IDirect3DTnLHalDevice))
        ddsd.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    else
        ddsd.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;

    int iWidth = iBitmapWidth;
    int iHeight = iBitmapHeight;
    FitTextureSize(&iWidth, &iHeight, (desc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) != 0,
                   (desc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0);
    ddsd.dwWidth = static_cast<DWORD>(iWidth);
    ddsd.dwHeight = static_cast<DWORD>(iHeight);

    if (!FindFormat(pDevice, &ddsd.ddpfPixelFormat))
        return nullptr;

    IDirectDrawSurface7* pTarget = nullptr;
    if (FAILED(pDevice->GetRenderTarget(&pTarget)) || !pTarget)
        return nullptr;
    IDirectDraw7* pDD = nullptr;
    const HRESULT hrDD = pTarget->GetDDInterface(reinterpret_cast<void**>(&pDD));
    pTarget->Release();
    if (FAILED(hrDD) || !pDD)
        return nullptr;
    IDirectDrawSurface7* pTexture = nullptr;
    const HRESULT hr = pDD->CreateSurface(&ddsd, &pTexture, nullptr);
    pDD->Release();
    if (FAILED(hr) || !pTexture)
        return nullptr;

    if (!CopyBitmap(pTexture, hBitmap, iBitmapWidth, iBitmapHeight))
    {
        pTexture->Release();
        return nullptr;
    }

    BYTE bits[3];
    GetChannelBits(ddsd.ddpfPixelFormat, bits);
    char szLine[256];
    std::snprintf(szLine, sizeof(szLine), "Loading %40s dimensions = %4d x %4d x %4d bpp , Texture format = %d%d%d",
                  szName, iBitmapWidth, iBitmapHeight, static_cast<int>(bm.bmBitsPixel), bits[0], bits[1], bits[2]);
    g_Log.Print(szLine);
    return pTexture;
}

void ReleaseTextures()
{
    g_Log.Print("Releasing Textures");
    // Every slot is walked, so a texture loaded after a missing one is released too.
    // A slot that never loaded (its file missing or refused, logged then) has
    // nothing to release.
    for (int i = 0; i < NUM_TEXTURE_SLOTS; ++i)
    {
        if (g_pTextures[i])
        {
            g_pTextures[i]->Release();
            g_pTextures[i] = nullptr;
        }
    }
    g_iNumTextures = 0;
}
