#pragma once
// The panel's five textures on the Direct3D 7 device, loaded from BMP files at
// start-up and released at shutdown. Windows only.
#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include "render/Renderer.h"

enum
{
    NUM_TEXTURE_SLOTS = NUM_TEXTURES,
};

extern IDirectDrawSurface7* g_pTextures[NUM_TEXTURE_SLOTS];
extern int g_iNumTextures;

// Loads textures 0..4 from "Textures\<file>", else from "<file>"; always 1.
int LoadTextures();
// One texture from a bitmap resource or a file our BMP reader accepts; stored in
// g_pTextures[iNumber], which stays null (the reason logged) for a missing or
// damaged file.
IDirectDrawSurface7* CreateTexture(IDirect3DDevice7* pDevice, int iNumber, const char* szName, int bColourKey);
// A texture surface in the device's plain RGB format with the bitmap copied in.
IDirectDrawSurface7* CreateTextureSurface(IDirect3DDevice7* pDevice, HBITMAP hBitmap, const char* szName);
void ReleaseTextures();

// File names of the five textures, by number.
extern const char* const g_szTextureFiles[NUM_TEXTURE_SLOTS];
