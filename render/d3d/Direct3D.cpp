#include "render/d3d/Direct3D.h"

#include <cstdio>
#include <cstring>

#include "base/Log.h"
#include "render/Renderer.h"
#include "render/d3d/D3DDevice.h"
#include "render/d3d/DeviceCaps.h"

Direct3DState g_D3D;

namespace {

constexpr int kMaxVideoDevices = 16;

CD3DDevice g_D3DDevice;

template <typename T>
void SafeRelease(T*& p)
{
    if (p)
    {
        p->Release();
        p = nullptr;
    }
}

void CopyName(char* szTarget, size_t size, const char* szSource)
{
    std::snprintf(szTarget, size, "%s", szSource ? szSource : "");
}

// Logs the failure, releases what InitD3D made so far and passes the code on.
HRESULT Fail(const char* szMessage, HRESULT hr)
{
    g_Log.Print(szMessage);
    ReleaseD3D();
    return hr;
}

void LogDeviceCaps(const D3DDEVICEDESC7& desc)
{
    char szLine[128];
    std::snprintf(szLine, sizeof(szLine), "min texture dimensions  = %lu x %lu",
                  static_cast<unsigned long>(desc.dwMinTextureWidth), static_cast<unsigned long>(desc.dwMinTextureHeight));
    g_Log.Print(szLine);
    std::snprintf(szLine, sizeof(szLine), "max texture dimensions  = %lu x %lu",
                  static_cast<unsigned long>(desc.dwMaxTextureWidth), static_cast<unsigned long>(desc.dwMaxTextureHeight));
    g_Log.Print(szLine);
    g_Log.Print("MaxTextureBlendStages   =", static_cast<int>(desc.wMaxTextureBlendStages));
    g_Log.Print("MaxSimultaneousTextures =", static_cast<int>(desc.wMaxSimultaneousTextures));
    g_Log.Print("MaxTextureRepeat        =", static_cast<int>(desc.dwMaxTextureRepeat));
    g_Log.Print("");

    const DWORD tex = desc.dpcTriCaps.dwTextureCaps;
    LogCapsFlag(tex, D3DPTEXTURECAPS_SQUAREONLY, "D3DPTEXTURECAPS_SQUAREONLY");
    LogCapsFlag(tex, D3DPTEXTURECAPS_POW2, "D3DPTEXTURECAPS_POW2");
    LogCapsFlag(tex, D3DPTEXTURECAPS_TRANSPARENCY, "D3DPTEXTURECAPS_TRANSPARENCY");
    LogCapsFlag(tex, D3DPTEXTURECAPS_COLORKEYBLEND, "D3DPTEXTURECAPS_COLORKEYBLEND");
    g_Log.Print("");

    const DWORD dev = desc.dwDevCaps;
    LogCapsFlag(dev, D3DDEVCAPS_HWRASTERIZATION, "D3DDEVCAPS_HWRASTERIZATION");
    LogCapsFlag(dev, D3DDEVCAPS_HWTRANSFORMANDLIGHT, "D3DDEVCAPS_HWTRANSFORMANDLIGHT");
    LogCapsFlag(dev, D3DDEVCAPS_TEXTURENONLOCALVIDMEM, "D3DDEVCAPS_TEXTURENONLOCALVIDMEM");
    LogCapsFlag(dev, D3DDEVCAPS_TEXTURESYSTEMMEMORY, "D3DDEVCAPS_TEXTURESYSTEMMEMORY");
    LogCapsFlag(dev, D3DDEVCAPS_TEXTUREVIDEOMEMORY, "D3DDEVCAPS_TEXTUREVIDEOMEMORY");
    LogCapsFlag(dev, D3DDEVCAPS_TLVERTEXSYSTEMMEMORY, "D3DDEVCAPS_TLVERTEXSYSTEMMEMORY");
    LogCapsFlag(dev, D3DDEVCAPS_TLVERTEXVIDEOMEMORY, "D3DDEVCAPS_TLVERTEXVIDEOMEMORY");
    g_Log.Print("");
}

void LogPixelFormat(const char* szPrefix, const DDPIXELFORMAT& format)
{
    BYTE bits[3];
    GetChannelBits(format, bits);
    const bool bAlpha = (format.dwFlags & DDPF_ALPHAPIXELS) != 0;
    char szLine[160];
    std::snprintf(szLine, sizeof(szLine), "%s%s = %d %d %d, bpp = %lu", szPrefix, bAlpha ? "RGBA" : "RGB ", bits[0],
                  bits[1], bits[2], static_cast<unsigned long>(format.dwRGBBitCount));
    g_Log.Print(szLine);
}

// Creates the device on the back buffer: hardware T&L, hardware, then software.
HRESULT CreateDevice()
{
    HRESULT hr = E_FAIL;
    if (g_D3D.uDeviceChoice & D3D_TRY_TNL_HAL)
    {
        hr = g_D3D.pD3D->CreateDevice(IID_IDirect3DTnLHalDevice, g_D3D.pBackBuffer, &g_D3D.pDevice);
        if (SUCCEEDED(hr))
        {
            g_Log.Print("InitD3D() CreateDevice() Using Direct3d T&L harware acceleration");
            return hr;
        }
    }
    if (g_D3D.uDeviceChoice & D3D_TRY_HAL)
    {
        hr = g_D3D.pD3D->CreateDevice(IID_IDirect3DHALDevice, g_D3D.pBackBuffer, &g_D3D.pDevice);
        if (SUCCEEDED(hr))
        {
            g_Log.Print("InitD3D() CreateDevice() Using Direct3d harware acceleration");
            return hr;
        }
    }
    if (g_D3D.uDeviceChoice & D3D_TRY_RGB)
    {
        hr = g_D3D.pD3D->CreateDevice(IID_IDirect3DRGBDevice, g_D3D.pBackBuffer, &g_D3D.pDevice);
        if (SUCCEEDED(hr))
        {
            g_Log.Print("InitD3D() CreateDevice() Direct3d RGB software emulation");
            g_iTextureBpp = 16;
            g_bRichRendering = 0;
            return hr;
        }
    }
    g_D3D.pDevice = nullptr;
    return FAILED(hr) ? hr : E_FAIL;
}

} // namespace

HRESULT InitD3D(HWND hWnd)
{
    g_Log.Print("\nInitD3D()");

    HRESULT hr = DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&g_D3D.pDD), IID_IDirectDraw7, nullptr);
    if (FAILED(hr))
    {
        g_D3D.pDD = nullptr;
        return Fail("InitD3D() DirectDrawCreateEx() FAILED", hr);
    }

    DDCAPS ddcaps;
    std::memset(&ddcaps, 0, sizeof(ddcaps));
    ddcaps.dwSize = sizeof(ddcaps);
    g_D3D.pDD->GetCaps(&ddcaps, nullptr);
    char szLine[128];
    // Unsigned: cards with 2 GB or more would otherwise log negative sizes.
    std::snprintf(szLine, sizeof(szLine), "Video memory : Total = %lu, Free = %lu",
                  static_cast<unsigned long>(ddcaps.dwVidMemTotal), static_cast<unsigned long>(ddcaps.dwVidMemFree));
    g_Log.Print(szLine);

    if (FAILED(g_D3D.pDD->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&g_D3D.pD3D))))
        g_D3D.pD3D = nullptr;

    hr = g_D3D.pDD->SetCooperativeLevel(hWnd, DDSCL_NORMAL);
    if (FAILED(hr))
        return Fail("InitD3D() SetCooperativeLevel() FAILED", hr);

    DDSURFACEDESC2 ddsd;
    std::memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS;
    ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    hr = g_D3D.pDD->CreateSurface(&ddsd, &g_D3D.pPrimary, nullptr);
    if (FAILED(hr))
    {
        g_D3D.pPrimary = nullptr;
        return Fail("InitD3D() CreateSurface() Primary FAILED", hr);
    }

    IDirectDrawClipper* pClipper = nullptr;
    hr = g_D3D.pDD->CreateClipper(0, &pClipper, nullptr);
    if (FAILED(hr))
        return Fail("InitD3D() CreateClipper() FAILED", hr);
    pClipper->SetHWnd(0, hWnd);
    g_D3D.pPrimary->SetClipper(pClipper);
    pClipper->Release();

    RECT rcClient = {0, 0, 0, 0};
    GetClientRect(hWnd, &rcClient);
    g_D3D.hWnd = hWnd;
    g_D3D.iWidth = static_cast<int>(rcClient.right - rcClient.left);
    g_D3D.iHeight = static_cast<int>(rcClient.bottom - rcClient.top);
    const LONG width = g_D3D.iWidth;
    const LONG height = g_D3D.iHeight;

    std::memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    ddsd.dwWidth = static_cast<DWORD>(width);
    ddsd.dwHeight = static_cast<DWORD>(height);
    hr = g_D3D.pDD->CreateSurface(&ddsd, &g_D3D.pBackBuffer, nullptr);
    if (FAILED(hr))
    {
        g_D3D.pBackBuffer = nullptr;
        return Fail("InitD3D() CreateSurface() backbuffer FAILED", hr);
    }

    DDSURFACEDESC2 mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dwSize = sizeof(mode);
    g_D3D.pDD->GetDisplayMode(&mode);
    if (mode.ddpfPixelFormat.dwRGBBitCount <= 8)
        return Fail("InitD3D() GetDisplayMode() FAILED", DDERR_INVALIDMODE);

    if (!g_D3D.pD3D)
        return Fail("InitD3D() CreateDevice() FAILED", E_NOINTERFACE);
    hr = CreateDevice();
    if (FAILED(hr))
        return Fail("InitD3D() CreateDevice() FAILED", hr);

    D3DDEVICEDESC7 desc;
    std::memset(&desc, 0, sizeof(desc));
    g_D3D.pDevice->GetCaps(&desc);
    LogDeviceCaps(desc);

    LogPixelFormat("Backbuffer pixel format    ", mode.ddpfPixelFormat);
    g_Log.Print("");

    DDPIXELFORMAT lastFormat = mode.ddpfPixelFormat;
    g_D3D.pDevice->EnumTextureFormats(EnumPixelFormatsCallback, &lastFormat);
    // A device without texture formats still draws the flat panel, so go on.
    if (lastFormat.dwRGBBitCount == 0)
        g_Log.Print("InitD3D() EnumTextureFormats() FAILED");

    D3DVIEWPORT7 viewport = {0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
    hr = g_D3D.pDevice->SetViewport(&viewport);
    if (FAILED(hr))
        return Fail("InitD3D() SetViewport() FAILED", hr);

    g_pRenderDevice = &g_D3DDevice;
    return SetRenderStates();
}

void ReleaseD3D()
{
    if (g_pRenderDevice == &g_D3DDevice)
        g_pRenderDevice = nullptr;
    SafeRelease(g_D3D.pDevice);
    SafeRelease(g_D3D.pD3D);
    SafeRelease(g_D3D.pBackBuffer);
    SafeRelease(g_D3D.pPrimary);
    SafeRelease(g_D3D.pDD);
    if (g_D3D.hdcPresent)
    {
        SelectObject(g_D3D.hdcPresent, g_D3D.hOldPresentBitmap);
        DeleteDC(g_D3D.hdcPresent);
    }
    if (g_D3D.hPresentBitmap)
        DeleteObject(g_D3D.hPresentBitmap);
    g_D3D.hdcPresent = nullptr;
    g_D3D.hPresentBitmap = nullptr;
    g_D3D.hOldPresentBitmap = nullptr;
    g_D3D.hWnd = nullptr;
}

void GetChannelBits(const DDPIXELFORMAT& format, BYTE* pBits)
{
    const ChannelBits bits = RgbChannelBits((format.dwFlags & DDPF_RGB) != 0, format.dwRBitMask, format.dwGBitMask,
                                            format.dwBBitMask);
    pBits[0] = bits.red;
    pBits[1] = bits.green;
    pBits[2] = bits.blue;
}

HRESULT CALLBACK EnumPixelFormatsCallback(DDPIXELFORMAT* pFormat, void* pContext)
{
    if (!pFormat)
        return D3DENUMRET_OK;
    if ((pFormat->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV)) != 0 ||
        (pFormat->dwFlags & DDPF_FOURCC) != 0 || pFormat->dwFourCC != 0)
        return D3DENUMRET_OK;

    if (pContext)
        std::memcpy(pContext, pFormat, sizeof(DDPIXELFORMAT));
    if (pFormat->dwRGBBitCount >= 16)
        LogPixelFormat("EnumPixelFormatsCallback() ", *pFormat);
    else
    {
        char szLine[96];
        std::snprintf(szLine, sizeof(szLine), "EnumPixelFormatsCallback() Paletted      bpp = %lu",
                      static_cast<unsigned long>(pFormat->dwRGBBitCount));
        if (pFormat->dwFlags & DDPF_PALETTEINDEXED4)
            g_Log.Print(szLine);
        if (pFormat->dwFlags & DDPF_PALETTEINDEXED8)
            g_Log.Print(szLine);
    }
    return D3DENUMRET_OK;
}

// The description and driver name come from the adapter's own identifier, which
// gives the same texts on every system.
BOOL WINAPI DDEnumCallbackEx(GUID* pGuid, LPSTR /*szDescription*/, LPSTR /*szDriverName*/, LPVOID /*pContext*/)
{
    LPDIRECTDRAW pDD = nullptr;
    if (FAILED(DirectDrawCreate(pGuid, &pDD, nullptr)))
    {
        g_Log.Print("DDEnumCallbackEx() DirectDrawCreate() FAILED");
        return FALSE;
    }
    IDirectDraw7* pDD7 = nullptr;
    const HRESULT hr = pDD->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&pDD7));
    pDD->Release();
    if (FAILED(hr))
    {
        g_Log.Print("DDEnumCallbackEx() QueryInterface() FAILED");
        return FALSE;
    }

    DDDEVICEIDENTIFIER2 id;
    std::memset(&id, 0, sizeof(id));
    if (SUCCEEDED(pDD7->GetDeviceIdentifier(&id, 0)))
    {
        // The identifier's texts need not be terminated within their arrays.
        id.szDescription[MAX_DDDEVICEID_STRING - 1] = '\0';
        id.szDriver[MAX_DDDEVICEID_STRING - 1] = '\0';
        CopyName(g_D3D.szVideoDeviceName, sizeof(g_D3D.szVideoDeviceName), id.szDescription);
        g_Log.Print("Video device name   = ", id.szDescription);
        g_Log.Print("Video device driver = ", id.szDriver);
    }
    pDD7->Release();

    ++g_D3D.iNumVideoDevices;
    return g_D3D.iNumVideoDevices < kMaxVideoDevices ? TRUE : FALSE;
}
