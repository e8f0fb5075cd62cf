#pragma once
// Text on the Direct3D back buffer through GDI, after the scene has ended. Windows only.
#include <windows.h>

#include <cstdint>

// The panel's font: "Arial" at 8 points. Null until start-up creates it.
extern HFONT g_hFont;

// Creates the panel's font, 11 pixels high (8 points on the panel's own grid of
// 96 pixels per inch); null on failure.
HFONT CreatePanelFont();

// One text item on the back buffer: colour is a COLORREF, alignment a set of GDI
// text-alignment flags (0 left, 2 right, 6 centred; the top at y).
void DrawTextItem(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment);
