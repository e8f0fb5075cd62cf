#pragma once
// The Direct3D 7 back end's objects: a windowed DirectDraw 7 primary surface
// clipped to the main window, an off-screen back buffer of the client size that
// every frame is drawn into, and the device on it. Windows only.
#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

extern IDirectDraw7* g_pDD;
extern IDirect3D7* g_pD3D;
extern IDirect3DDevice7* g_pd3dDevice;
extern IDirectDrawSurface7* g_pddsPrimary;
extern IDirectDrawSurface7* g_pddsBackBuffer;
// The client rectangle in screen coordinates; the window procedure moves it with
// the window.
extern RECT g_rcScreen;

// Shown by the About box: the last display adapter and the first capture device.
extern char g_szVideoDeviceName[256];
extern char g_szSoundDeviceName[256];
extern int g_iNumVideoDevices;   // at most 16
extern int g_iNumSoundDevices;   // at most 20

// Creates the surfaces and the device for the window, logs what the hardware can
// do and makes the device the one every primitive draws with. Negative on failure
// (what was created so far is released again).
HRESULT InitD3D(HWND hWnd);
// Releases the device, the surfaces and the DirectDraw objects.
void ReleaseD3D();

// Devices InitD3D may try, in this order; tests narrow the choice to reach the
// software fallback on any machine.
enum : unsigned
{
    D3D_TRY_TNL_HAL = 1,
    D3D_TRY_HAL = 2,
    D3D_TRY_RGB = 4,
    D3D_TRY_ALL = 7,
};
extern unsigned g_uD3DDeviceChoice;

// Red, green and blue bit counts of a pixel format (bits[0..2]); zeros unless RGB.
void GetChannelBits(const DDPIXELFORMAT& format, BYTE* pBits);

// Texture-format enumeration: logs each usable format and copies it into the
// DDPIXELFORMAT the context points at.
HRESULT CALLBACK EnumPixelFormatsCallback(DDPIXELFORMAT* pFormat, void* pContext);
// Display adapters (for DirectDrawEnumerateA): records and logs the description
// and driver of each.
BOOL WINAPI DDEnumCallbackEx(GUID* pGuid, LPSTR szDescription, LPSTR szDriverName, LPVOID pContext);
// Sound capture devices: records the first description and logs each device.
BOOL CALLBACK CaptureDeviceEnumCallback(LPGUID pGuid, LPCSTR szDescription, LPCSTR szModule, LPVOID pContext);
