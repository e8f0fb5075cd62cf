#pragma once
// The Direct3D 7 back end's objects: a windowed DirectDraw 7 primary surface
// clipped to the main window, an off-screen back buffer of the client size that
// every frame is drawn into, and the device on it. Windows only.
#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

// Devices InitD3D may try, in this order; tests narrow the choice to reach the
// software fallback on any machine.
enum : unsigned
{
    D3D_TRY_TNL_HAL = 1,
    D3D_TRY_HAL = 2,
    D3D_TRY_RGB = 4,
    D3D_TRY_ALL = 7,
};

// The back end's whole state, in one place.
struct Direct3DState
{
    IDirectDraw7* pDD = nullptr;
    IDirect3D7* pD3D = nullptr;
    IDirect3DDevice7* pDevice = nullptr;
    IDirectDrawSurface7* pPrimary = nullptr;
    IDirectDrawSurface7* pBackBuffer = nullptr;
    // The window the frames go to, and the size of its client area and of the
    // back buffer, in the window's own pixels.
    HWND hWnd = nullptr;
    int iWidth = 0;
    int iHeight = 0;
    // A bitmap of the client's size that each frame passes through on its way to
    // the window (made by the first Present).
    HDC hdcPresent = nullptr;
    HBITMAP hPresentBitmap = nullptr;
    HGDIOBJ hOldPresentBitmap = nullptr;
    // Shown by the About box: the last display adapter.
    char szVideoDeviceName[256] = "";
    int iNumVideoDevices = 0;  // at most 16
    unsigned uDeviceChoice = D3D_TRY_ALL;
};
extern Direct3DState g_D3D;

// Creates the surfaces and the device for the window, logs what the hardware can
// do and makes the device the one every primitive draws with. Negative on failure
// (what was created so far is released again).
HRESULT InitD3D(HWND hWnd);
// Releases the device, the surfaces and the DirectDraw objects.
void ReleaseD3D();

// Red, green and blue bit counts of a pixel format (bits[0..2]); zeros unless RGB.
void GetChannelBits(const DDPIXELFORMAT& format, BYTE* pBits);

// Texture-format enumeration: logs each usable format and copies it into the
// DDPIXELFORMAT the context points at.
HRESULT CALLBACK EnumPixelFormatsCallback(DDPIXELFORMAT* pFormat, void* pContext);
// Display adapters (for DirectDrawEnumerateA): records and logs the description
// and driver of each.
BOOL WINAPI DDEnumCallbackEx(GUID* pGuid, LPSTR szDescription, LPSTR szDriverName, LPVOID pContext);
