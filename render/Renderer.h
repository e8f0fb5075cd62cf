#pragma once
// The drawing primitives: flat, gradient and textured rectangles, lines, bevelled
// boxes and framed panels, in window pixels with (0, 0) at the top-left. Each sets
// the device states it depends on and draws through g_pRenderDevice.
#include <atomic>
#include <cstdint>

#include "render/RenderDevice.h"

// 1: gradient and light-map fills; 0: flat fills (software device, no 32-bit textures).
extern std::atomic<int> g_bRichRendering;
// Texture depth texture creation looks for (32, or 16 after a fallback).
extern int g_iTextureBpp;
// Client size of the window, set by start-up; the light map spans it.
extern int g_iWindowWidth;
extern int g_iWindowHeight;
// The client area start-up fits the window to, whatever its frame: the panel
// fills exactly this, one pixel of the panel to one of the window.
constexpr int kClientWidth = 583;
constexpr int kClientHeight = 212;

// Texture numbers.
enum
{
    TEX_WOOD = 0,
    TEX_KNOB = 1,
    TEX_NOTCH_A = 2,
    TEX_NOTCH_B = 3,
    TEX_LIGHTMAP = 4,
    NUM_TEXTURES = 5,
};

// Form 1: flat. Form 2: top and bottom colours. Form 3: two colours by mode (1
// vertical, 2 horizontal, 3 diagonal, 4 crossed), one pixel larger right and below.
int RenderRect(int x1, int y1, int x2, int y2, std::uint32_t colour);
int RenderRect(int x1, int y1, int x2, int y2, std::uint32_t colourTop, std::uint32_t colourBottom);
int RenderRect(int x1, int y1, int x2, int y2, std::uint32_t colour1, std::uint32_t colour2, int iMode);

// Form 1: tiled every scale pixels. Form 2: tiled by separate x and y scales.
// Form 3: the whole texture stretched over the rectangle.
int RenderRectTex(int x1, int y1, int x2, int y2, int iTexture, int bBlend, float fScale);
int RenderRectTex(int x1, int y1, int x2, int y2, int iScaleX, int iScaleY, int iTexture, int bBlend);
int RenderRectTex(int x1, int y1, int x2, int y2, int iTexture, int bBlend);

// Form 2: one blended line. List: n lines from 2 x n vertices (0 without drawing for n = 0).
int RenderLine(int x1, int y1, int x2, int y2, std::uint32_t colour);
int RenderLine(int nLines, const ColouredVertex* pVertices);
void SetLineVertices(ColouredVertex* pVertices, int i, int x1, int y1, int x2, int y2, std::uint32_t colour1,
                     std::uint32_t colour2);

// Light top and left, dark right and bottom: raised; swap the colours for sunken.
void RenderBox(int x1, int y1, int x2, int y2, std::uint32_t light, std::uint32_t dark);
// Two boxes and a filled inside (its part of the light map, or flat grey).
void RenderPanel(int x1, int y1, int x2, int y2, std::uint32_t light, std::uint32_t dark);

// One grey frame, shown.
void ClearScreen();
// Shows the frame; E_FAIL when there is no device.
std::int32_t Present();

// Stage 0 and render states every frame starts from.
int SetRenderStates();
